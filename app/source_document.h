#pragma once
// A source document: the editor of one .lv file, shown in an MDI child window. Its stored form
// is its raw text: loading shows the file's bytes, saving writes them back, so an unchanged
// save keeps every byte and line ending (see source_codec.h). Draws line numbers beside the
// text and colours it with the compiler's lexer.
#include <QPlainTextEdit>

#include "app/source_codec.h"

namespace lv::app {

class SourceHighlighter;

class SourceDocument : public QPlainTextEdit {
    Q_OBJECT
public:
    // A new empty document titled untitledName ("Untitled1", ...), without a path.
    explicit SourceDocument(const QString& untitledName, QWidget* parent = nullptr);

    // The full path, empty while the document has never been saved or opened.
    const QString& path() const { return path_; }
    // The file name of the path, else the untitled name.
    QString title() const;
    bool isModified() const;
    void setModified(bool modified);

    // Loads path's bytes as the text; the document then has that path and is not modified.
    // Returns false with error set (and changes nothing) when the file cannot be read.
    bool load(const QString& path, QString& error);
    // Writes the text's bytes to path (whole or not at all); the document then has that path
    // and is not modified. Returns false with error set otherwise.
    bool saveTo(const QString& path, QString& error);
    // The bytes a save would write.
    QByteArray bytes() const;
    LineEnding lineEnding() const { return lineEnding_; }

    // Tab stops every width characters of the editor font.
    void setTabWidth(int width);
    int tabWidth() const { return tabWidth_; }
    void setEditorFont(const QFont& font);
    // Puts the cursor at line and column (from 1; a tab counts as one column) and shows it.
    void goTo(int line, int column);
    // The cursor's line and column, from 1.
    int cursorLine() const;
    int cursorColumn() const;

    // For the line-number margin.
    int lineNumberWidth() const;
    void paintLineNumbers(QPaintEvent* event);

signals:
    // The title or the modified flag changed.
    void titleChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateMargin();
    void updateLineNumbers(const QRect& rect, int dy);

    QString path_;
    QString untitledName_;
    LineEnding lineEnding_ = LineEnding::Lf;
    int tabWidth_ = 4;
    QWidget* lineNumbers_;
    SourceHighlighter* highlighter_;
};

} // namespace lv::app
