#pragma once
// The modal "Add Object" dialog: widgets over AddObjectRules. OK adds the object through
// ModelEvents, which makes it current and tells every window.
#include <QDialog>

#include "app/model_events.h"
#include "app/source_cache.h"
#include "app/ui_services.h"
#include "dialogs/add_object_rules.h"
#include "dialogs/show_notice.h"

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;

namespace lv::dialogs {

class AddObjectDialog : public QDialog {
    Q_OBJECT
public:
    // Lists the cache's files at once. Every argument must outlive the dialog.
    AddObjectDialog(app::SourceCache& cache, ui::ModelEvents& events, ui::UiServices& ui,
                    QWidget* parent = nullptr);

    AddObjectRules& rules() { return rules_; }
    QComboBox* fileList() const { return files_; }
    QPushButton* browseButton() const { return browse_; }
    QCheckBox* showPathBox() const { return showPath_; }
    QComboBox* functionList() const { return functions_; }
    QLineEdit* nameField() const { return name_; }
    QPushButton* okButton() const;

    void accept() override;

private:
    void browse();
    void mirror();

    app::SourceCache& cache_;
    ui::ModelEvents& events_;
    ui::UiServices& ui_;
    AddObjectRules rules_;
    QComboBox* files_;
    QPushButton* browse_;
    QCheckBox* showPath_;
    QComboBox* functions_;
    QLineEdit* name_;
    QDialogButtonBox* buttons_;
};

} // namespace lv::dialogs
