#include "app/source_document.h"

#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QTextBlock>

#include "app/source_highlighter.h"

namespace lv::app {

namespace {

class LineNumberMargin : public QWidget {
public:
    explicit LineNumberMargin(SourceDocument* editor) : QWidget(editor), editor_(editor) {}
    QSize sizeHint() const override { return {editor_->lineNumberWidth(), 0}; }

protected:
    void paintEvent(QPaintEvent* event) override { editor_->paintLineNumbers(event); }

private:
    SourceDocument* editor_;
};

} // namespace

SourceDocument::SourceDocument(const QString& untitledName, QWidget* parent)
    : QPlainTextEdit(parent), untitledName_(untitledName),
      lineNumbers_(new LineNumberMargin(this)), highlighter_(new SourceHighlighter(document())) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setAccessibleName(untitledName);
    connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { updateMargin(); });
    connect(this, &QPlainTextEdit::updateRequest, this,
            [this](const QRect& rect, int dy) { updateLineNumbers(rect, dy); });
    connect(document(), &QTextDocument::modificationChanged, this,
            [this] { emit titleChanged(); });
    updateMargin();
    setTabWidth(tabWidth_);
}

QString SourceDocument::title() const {
    return path_.isEmpty() ? untitledName_ : QFileInfo(path_).fileName();
}

bool SourceDocument::isModified() const { return document()->isModified(); }

void SourceDocument::setModified(bool modified) { document()->setModified(modified); }

bool SourceDocument::load(const QString& path, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    DecodedSource decoded = decodeSource(data);
    setPlainText(decoded.text);
    lineEnding_ = decoded.lineEnding;
    path_ = QFileInfo(path).absoluteFilePath();
    setAccessibleName(title());
    setModified(false);
    emit titleChanged();
    return true;
}

QByteArray SourceDocument::bytes() const {
    // The raw text keeps characters that the plain text would change (no-break spaces).
    return encodeSource(document()->toRawText(), lineEnding_);
}

bool SourceDocument::saveTo(const QString& path, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    QByteArray data = bytes();
    if (file.write(data) != data.size() || !file.commit()) {
        error = file.errorString();
        return false;
    }
    path_ = QFileInfo(path).absoluteFilePath();
    setAccessibleName(title());
    setModified(false);
    emit titleChanged();
    return true;
}

void SourceDocument::setTabWidth(int width) {
    tabWidth_ = width;
    setTabStopDistance(fontMetrics().horizontalAdvance(QLatin1Char(' ')) * width);
}

void SourceDocument::setEditorFont(const QFont& font) {
    setFont(font);
    setTabWidth(tabWidth_);
    updateMargin();
}

void SourceDocument::goTo(int line, int column) {
    QTextBlock block = document()->findBlockByNumber(std::max(line, 1) - 1);
    if (!block.isValid()) block = document()->lastBlock();
    QTextCursor cursor(block);
    int offset = std::clamp(column - 1, 0, std::max(block.length() - 1, 0));
    cursor.setPosition(block.position() + offset);
    setTextCursor(cursor);
    ensureCursorVisible();
}

int SourceDocument::cursorLine() const { return textCursor().blockNumber() + 1; }

int SourceDocument::cursorColumn() const { return textCursor().positionInBlock() + 1; }

int SourceDocument::lineNumberWidth() const {
    int digits = 1;
    for (int n = std::max(1, blockCount()); n >= 10; n /= 10) ++digits;
    return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(digits, 3);
}

void SourceDocument::paintLineNumbers(QPaintEvent* event) {
    QPainter painter(lineNumbers_);
    painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
    painter.setPen(palette().color(QPalette::PlaceholderText));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    int height = fontMetrics().height();
    while (block.isValid() && top <= event->rect().bottom()) {
        if (block.isVisible() && top + height >= event->rect().top())
            painter.drawText(0, top, lineNumbers_->width() - 4, height, Qt::AlignRight,
                             QString::number(block.blockNumber() + 1));
        top += qRound(blockBoundingRect(block).height());
        block = block.next();
    }
}

void SourceDocument::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    QRect r = contentsRect();
    lineNumbers_->setGeometry(QRect(r.left(), r.top(), lineNumberWidth(), r.height()));
}

void SourceDocument::updateMargin() { setViewportMargins(lineNumberWidth(), 0, 0, 0); }

void SourceDocument::updateLineNumbers(const QRect& rect, int dy) {
    if (dy != 0)
        lineNumbers_->scroll(0, dy);
    else
        lineNumbers_->update(0, rect.y(), lineNumbers_->width(), rect.height());
}

} // namespace lv::app
