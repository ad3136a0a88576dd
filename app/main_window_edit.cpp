// The main window's editing commands: the clipboard, undo, find and replace, and the editor's
// font and tab width, which every open document follows.
#include <QApplication>
#include <QSettings>
#include <QTextDocument>

#include "app/editor_dialogs.h"
#include "app/main_window.h"
#include "app/source_document.h"

namespace lv::app {

void MainWindow::onEditUndo() {
    if (SourceDocument* doc = currentDocument()) doc->undo();
}

void MainWindow::onEditCut() {
    if (SourceDocument* doc = currentDocument()) doc->cut();
}

void MainWindow::onEditCopy() {
    if (SourceDocument* doc = currentDocument()) doc->copy();
}

void MainWindow::onEditPaste() {
    if (SourceDocument* doc = currentDocument()) doc->paste();
}

void MainWindow::onEditDelete() {
    if (SourceDocument* doc = currentDocument()) doc->textCursor().removeSelectedText();
}

void MainWindow::onEditSelectAll() {
    if (SourceDocument* doc = currentDocument()) doc->selectAll();
}

void MainWindow::onEditFind() {
    if (!currentDocument()) return;
    delete findDialog_;
    SourceDocument* doc = currentDocument();
    QString initial = doc->textCursor().hasSelection() ? doc->textCursor().selectedText()
                                                        : findText_;
    findDialog_ = new FindDialog(false, initial, this);
    findDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(findDialog_, &FindDialog::findNext, this, [this] {
        FindDialog* d = findDialog_;
        findText_ = d->findText();
        findMatchCase_ = d->matchCase();
        findWholeWord_ = d->wholeWord();
        findDown_ = d->searchDown();
        onEditFindNext();
    });
    findDialog_->show();
}

void MainWindow::onEditFindNext() {
    if (findText_.isEmpty() || !currentDocument()) return;
    if (!findInDocument(findText_, findMatchCase_, findWholeWord_, findDown_))
        ui_.message(this, QStringLiteral("Cannot find the string '%1'.").arg(findText_),
                    ui::MsgIcon::Information);
    refreshCommands();
}

void MainWindow::onEditReplace() {
    if (!currentDocument()) return;
    delete findDialog_;
    findDialog_ = new FindDialog(true, findText_, this);
    findDialog_->setAttribute(Qt::WA_DeleteOnClose);
    auto remember = [this] {
        findText_ = findDialog_->findText();
        findMatchCase_ = findDialog_->matchCase();
        findWholeWord_ = findDialog_->wholeWord();
        findDown_ = true;
    };
    connect(findDialog_, &FindDialog::findNext, this, [this, remember] {
        remember();
        onEditFindNext();
    });
    connect(findDialog_, &FindDialog::replaceOne, this, [this, remember] {
        remember();
        replaceInDocument(findText_, findDialog_->replaceText(), findMatchCase_, findWholeWord_,
                          false);
    });
    connect(findDialog_, &FindDialog::replaceAll, this, [this, remember] {
        remember();
        replaceInDocument(findText_, findDialog_->replaceText(), findMatchCase_, findWholeWord_,
                          true);
    });
    findDialog_->show();
}

bool MainWindow::findInDocument(const QString& text, bool matchCase, bool wholeWord,
                                bool down) {
    SourceDocument* doc = currentDocument();
    if (!doc || text.isEmpty()) return false;
    QTextDocument::FindFlags flags;
    if (matchCase) flags |= QTextDocument::FindCaseSensitively;
    if (wholeWord) flags |= QTextDocument::FindWholeWords;
    if (!down) flags |= QTextDocument::FindBackward;
    return doc->find(text, flags);
}

void MainWindow::replaceInDocument(const QString& text, const QString& with, bool matchCase,
                                   bool wholeWord, bool all) {
    SourceDocument* doc = currentDocument();
    if (!doc || text.isEmpty()) return;
    Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    auto selectionMatches = [&] {
        return doc->textCursor().hasSelection() &&
               QString::compare(doc->textCursor().selectedText(), text, cs) == 0;
    };
    if (!all) {
        if (selectionMatches()) doc->textCursor().insertText(with);
        if (!findInDocument(text, matchCase, wholeWord, true))
            ui_.message(this, QStringLiteral("Cannot find the string '%1'.").arg(text),
                        ui::MsgIcon::Information);
        return;
    }
    // One undo step for the whole replacement, from the start of the text.
    QTextCursor edit = doc->textCursor();
    edit.beginEditBlock();
    doc->moveCursor(QTextCursor::Start);
    int count = 0;
    while (findInDocument(text, matchCase, wholeWord, true)) {
        doc->textCursor().insertText(with);
        ++count;
    }
    edit.endEditBlock();
    if (count == 0)
        ui_.message(this, QStringLiteral("Cannot find the string '%1'.").arg(text),
                    ui::MsgIcon::Information);
}

void MainWindow::setTabWidth(int width) {
    tabWidth_ = width;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (SourceDocument* doc : documents()) doc->setTabWidth(width);
    QApplication::restoreOverrideCursor();
    QSettings().setValue("editor/tabWidth", width);
}

void MainWindow::setEditorFont(const QFont& font) {
    editorFont_ = font;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (SourceDocument* doc : documents()) doc->setEditorFont(font);
    QApplication::restoreOverrideCursor();
    QSettings().setValue("editor/font", font.toString());
}

void MainWindow::onEditorFont() {
    QFont initial = editorFont_ ? *editorFont_ : QFont();
    if (!editorFont_) {
        if (SourceDocument* doc = currentDocument()) initial = doc->font();
    }
    if (std::optional<QFont> font = ui_.chooseFont(this, initial)) setEditorFont(*font);
}

void MainWindow::onEditorTabWidth() {
    TabWidthDialog dialog(
        tabWidth_,
        [this](const QString& text) { ui_.message(this, text, ui::MsgIcon::Warning); }, this);
    if (dialog.exec() == QDialog::Accepted) setTabWidth(dialog.width());
}

} // namespace lv::app
