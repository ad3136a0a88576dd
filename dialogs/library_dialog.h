#pragma once
// "Library Properties": "Enable Library", the library file with "&Browse", "&Show file path" and
// the library's functions. The rules are those of library_rules.h.
#include <QDialog>

#include "app/ui_services.h"
#include "dialogs/library_rules.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace lv::dialogs {

class LibraryDialog : public QDialog {
public:
    LibraryDialog(ui::UiServices& ui, const app::SourceCache& cache, QWidget* parent = nullptr);

    // "&Browse": the open-file chooser; a chosen file replaces the working library, and an
    // invalid one is reported with its error.
    void browse();
    const LibrarySession& session() const { return session_; }

    QCheckBox* enableBox() const { return enable_; }
    QLabel* pathLabel() const { return pathLabel_; }
    QLineEdit* pathField() const { return path_; }
    QPushButton* browseButton() const { return browse_; }
    QCheckBox* showPathBox() const { return showPath_; }
    QTreeWidget* functions() const { return list_; }

private:
    void fill();

    ui::UiServices& ui_;
    LibrarySession session_;
    QCheckBox* enable_ = nullptr;
    QLabel* pathLabel_ = nullptr;
    QLineEdit* path_ = nullptr;
    QPushButton* browse_ = nullptr;
    QCheckBox* showPath_ = nullptr;
    QLabel* listLabel_ = nullptr;
    QTreeWidget* list_ = nullptr;
};

// Options > "&Library": the dialog, modal; on OK the cache's library becomes the dialog's
// (none when disabled). Returns whether OK was pressed.
bool runLibraryDialog(QWidget* parent, ui::UiServices& ui, app::SourceCache& cache);

} // namespace lv::dialogs
