// The main window's document commands: new, open, save, close, print, the recent files, the
// compile command and the window arrangement.
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <algorithm>

#include "app/main_window.h"
#include "app/model_commands.h"
#include "app/source_document.h"

namespace lv::app {

namespace {

const QString kSourceFilter = QStringLiteral("Lumovar Files (*.LV) (*.lv *.LV)");
const QString kOpenFilter = QStringLiteral(
    "Lumovar Files (*.LV) (*.lv *.LV);;Lumovar Models (*.lvm *.LVM);;All Files (*)");

bool isModelPath(const QString& path) {
    return path.endsWith(QStringLiteral(".lvm"), Qt::CaseInsensitive);
}

} // namespace

SourceDocument* MainWindow::currentDocument() const {
    QMdiSubWindow* window = mdi_->currentSubWindow();
    if (!window) window = current_;
    // A window being destroyed is no longer a QMdiSubWindow: the cast drops it.
    window = qobject_cast<QMdiSubWindow*>(static_cast<QObject*>(window));
    return window ? qobject_cast<SourceDocument*>(window->widget()) : nullptr;
}

QList<SourceDocument*> MainWindow::documents() const {
    QList<SourceDocument*> docs;
    for (QMdiSubWindow* window : mdi_->subWindowList())
        if (auto* doc = qobject_cast<SourceDocument*>(window->widget())) docs.append(doc);
    return docs;
}

QMdiSubWindow* MainWindow::windowOf(SourceDocument* doc) const {
    for (QMdiSubWindow* window : mdi_->subWindowList())
        if (window->widget() == doc) return window;
    return nullptr;
}

SourceDocument* MainWindow::documentWithPath(const QString& path) const {
    QString absolute = QFileInfo(path).absoluteFilePath();
    for (SourceDocument* doc : documents())
        if (doc->path() == absolute) return doc;
    return nullptr;
}

SourceDocument* MainWindow::addDocument(SourceDocument* doc) {
    doc->setTabWidth(tabWidth_);
    if (editorFont_) doc->setEditorFont(*editorFont_);
    QMdiSubWindow* window = mdi_->addSubWindow(doc);
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto retitle = [this, doc, window] {
        window->setWindowTitle(doc->title() + QStringLiteral("[*]"));
        window->setWindowModified(doc->isModified());
        updateTitle();
    };
    retitle();
    connect(doc, &SourceDocument::titleChanged, window, retitle);
    connect(doc, &QPlainTextEdit::cursorPositionChanged, this, [this] { updateCursorPane(); });
    connect(doc, &QPlainTextEdit::copyAvailable, this, [this] { refreshCommands(); });
    connect(doc, &QPlainTextEdit::undoAvailable, this, [this] { refreshCommands(); });
    connect(doc, &QPlainTextEdit::textChanged, this, [this] { refreshCommands(); });
    // Closing the child window asks to save like File > Close.
    window->installEventFilter(this);
    // Once the window is gone: the state is read from what remains.
    connect(window, &QObject::destroyed, this, [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                updateTitle();
                refreshCommands();
            },
            Qt::QueuedConnection);
    });
    // A new child takes three quarters of the documents area, so that a large main window
    // gives a large editor, and never less than 560 x 400.
    const QSize area = mdi_->viewport()->size();
    window->resize(std::max(560, area.width() * 3 / 4), std::max(400, area.height() * 3 / 4));
    window->show();
    mdi_->setActiveSubWindow(window);
    current_ = window;
    refreshCommands();
    return doc;
}

SourceDocument* MainWindow::newDocument() {
    ++untitledCount_;
    return addDocument(new SourceDocument(QStringLiteral("Untitled%1").arg(untitledCount_)));
}

SourceDocument* MainWindow::openFile(const QString& path) {
    if (isModelPath(path)) {
        openModelFile(path);
        return nullptr;
    }
    if (SourceDocument* open = documentWithPath(path)) {
        mdi_->setActiveSubWindow(windowOf(open));
        addRecentFile(open->path());
        return open;
    }
    auto* doc = new SourceDocument(QString());
    QString error;
    if (!doc->load(path, error)) {
        delete doc;
        ui_.message(this, QStringLiteral("Cannot open %1:\n%2").arg(path, error),
                    ui::MsgIcon::Error);
        return nullptr;
    }
    // The empty document made at start-up gives way to the first file opened.
    for (SourceDocument* other : documents())
        if (other->title() == QStringLiteral("Untitled1") && other->path().isEmpty() &&
            !other->isModified())
            closeDocument(other);
    addDocument(doc);
    addRecentFile(doc->path());
    return doc;
}

bool MainWindow::openModelFile(const QString& path) {
    if (!modelCommands_->openModel(path)) return false;
    addRecentFile(modelCommands_->modelPath());
    statusBar()->showMessage(QStringLiteral("Model %1: %2 objects")
                                 .arg(QFileInfo(path).fileName())
                                 .arg(state_.model.count()));
    refreshCommands();
    return true;
}

bool MainWindow::saveDocument(SourceDocument* doc) {
    if (!doc) return false;
    if (doc->path().isEmpty()) return saveDocumentAs(doc);
    QString error;
    if (!doc->saveTo(doc->path(), error)) {
        ui_.message(this, QStringLiteral("Cannot save %1:\n%2").arg(doc->path(), error),
                    ui::MsgIcon::Error);
        return false;
    }
    // The file's time may not change between two quick saves: never reuse its compilation.
    state_.sources.remove(doc->path().toStdString());
    return true;
}

bool MainWindow::saveDocumentAs(SourceDocument* doc) {
    if (!doc) return false;
    QString path = ui_.saveFileName(this, QStringLiteral("Save As"), kSourceFilter, doc->path());
    if (path.isEmpty()) return false;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".lv");
    QString error;
    if (!doc->saveTo(path, error)) {
        ui_.message(this, QStringLiteral("Cannot save %1:\n%2").arg(path, error),
                    ui::MsgIcon::Error);
        return false;
    }
    state_.sources.remove(doc->path().toStdString());
    addRecentFile(doc->path());
    return true;
}

bool MainWindow::confirmClose(SourceDocument* doc) {
    if (!doc->isModified()) return true;
    ui::MsgResult answer =
        ui_.message(this, QStringLiteral("Save changes to %1?").arg(doc->title()),
                    ui::MsgIcon::Warning, ui::MsgButtons::YesNoCancel, ui::MsgResult::Yes);
    if (answer == ui::MsgResult::Cancel) return false;
    if (answer == ui::MsgResult::No) return true;
    return saveDocument(doc);
}

void MainWindow::closeDocument(SourceDocument* doc) {
    QMdiSubWindow* window = windowOf(doc);
    if (!window) return;
    window->removeEventFilter(this);
    doc->setModified(false);
    if (current_ == window) current_ = nullptr;
    // Deleted now: the window list must not hold it while the next one is opened.
    mdi_->removeSubWindow(window);
    delete window;
    updateTitle();
    refreshCommands();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* window = qobject_cast<QMdiSubWindow*>(watched);
    if (window && event->type() == QEvent::Close) {
        auto* doc = qobject_cast<SourceDocument*>(window->widget());
        if (doc && !confirmClose(doc)) {
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::onFileNew() { newDocument(); }

void MainWindow::onFileOpen() {
    QString path = ui_.openFileName(this, QStringLiteral("Open"), kOpenFilter);
    if (!path.isEmpty()) openFile(path);
}

void MainWindow::onFileClose() {
    SourceDocument* doc = currentDocument();
    if (doc && confirmClose(doc)) closeDocument(doc);
}

void MainWindow::onFileSave() { saveDocument(currentDocument()); }

void MainWindow::onFileSaveAs() { saveDocumentAs(currentDocument()); }

void MainWindow::onFilePrint() {
    SourceDocument* doc = currentDocument();
    if (!doc) return;
    if (!printer_) printer_ = std::make_unique<QPrinter>();
    QPrintDialog dialog(printer_.get(), this);
    if (dialog.exec() == QDialog::Accepted) doc->print(printer_.get());
}

void MainWindow::onFilePrintSetup() {
    if (!printer_) printer_ = std::make_unique<QPrinter>();
    QPageSetupDialog dialog(printer_.get(), this);
    dialog.exec();
}

void MainWindow::onFileRecent(int index) {
    if (index < 0 || index >= recent_.size()) return;
    QString path = recent_[index];
    if (!QFileInfo::exists(path)) {
        ui_.message(this, QStringLiteral("Cannot open %1:\nNo such file").arg(path),
                    ui::MsgIcon::Error);
        recent_.removeAt(index);
        updateRecentActions();
        return;
    }
    openFile(path);
}

void MainWindow::onAppExit() { close(); }

void MainWindow::onRunCompile() {
    if (SourceDocument* doc = currentDocument()) compileDocument(doc);
}

void MainWindow::compileDocument(SourceDocument* doc) {
    if (doc->isModified() || doc->path().isEmpty()) {
        if (!saveDocument(doc)) return;
    }
    std::shared_ptr<const CompiledFile> compiled =
        state_.sources.lookup(doc->path().toStdString());
    if (!compiled) {
        ui_.message(this,
                    QStringLiteral("Cannot read %1:\n%2")
                        .arg(doc->path(), QString::fromStdString(state_.sources.readError())),
                    ui::MsgIcon::Error);
        return;
    }
    if (compiled->hasError()) {
        const lang::CompileError& error = *compiled->firstError;
        ui_.message(this,
                    QStringLiteral("Program contains errors:\nError text: %1\nLine: %2")
                        .arg(QString::fromUtf8(error.message))
                        .arg(error.line),
                    ui::MsgIcon::Error);
        doc->goTo(error.line, error.column);
        doc->setFocus();
        return;
    }
    ui_.message(this, QStringLiteral("Compilation successfull"), ui::MsgIcon::None);
}

void MainWindow::onWindowCascade() { mdi_->cascadeSubWindows(); }

void MainWindow::onWindowTile() { mdi_->tileSubWindows(); }

void MainWindow::onWindowArrange() {
    // Minimized windows line up along the bottom again.
    for (QMdiSubWindow* window : mdi_->subWindowList())
        if (window->isMinimized()) window->showMinimized();
}

} // namespace lv::app
