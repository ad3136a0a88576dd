#pragma once
// The modal "General Objects Properties" dialog: widgets over ObjectPropertiesRules. OK replaces
// the model's objects by the edited copies through ModelEvents; Cancel changes nothing.
#include <QDialog>

#include "app/model_events.h"
#include "app/ui_services.h"
#include "dialogs/object_properties_rules.h"

class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTreeWidget;

namespace lv::dialogs {

class ObjectPropertiesDialog : public QDialog {
    Q_OBJECT
public:
    // Opens on tab with the object named preselect (else the current object) selected. Every
    // argument must outlive the dialog.
    ObjectPropertiesDialog(ui::ModelEvents& events, ui::UiServices& ui, int tab,
                           const std::string& preselect = {}, QWidget* parent = nullptr);

    ObjectPropertiesRules& rules() { return rules_; }
    QComboBox* objectList() const { return objects_; }
    QTabBar* tabBar() const { return tabs_; }
    QTreeWidget* parameterList() const { return rows_; }
    // The seven choices by kind: XAxis .. ZAxis, Constant, T1 .. T3.
    QRadioButton* choice(int kind) const;
    QGroupBox* spaceGroup() const { return space_; }
    QGroupBox* timeGroup() const { return time_; }
    QLineEdit* constantField() const { return constant_; }
    QLineEdit* valueField() const { return value_; }
    QPushButton* okButton() const;

    void accept() override;

private:
    void mirrorAll();
    void mirrorRows();
    void mirrorControls();

    ui::ModelEvents& events_;
    ui::UiServices& ui_;
    ObjectPropertiesRules rules_;
    QComboBox* objects_;
    QTabBar* tabs_;
    QTreeWidget* rows_;
    QGroupBox* space_;
    QGroupBox* time_;
    QRadioButton* choices_[7];
    QLineEdit* constant_;
    QLabel* valueLabel_;
    QLineEdit* value_;
    QDialogButtonBox* buttons_;
};

} // namespace lv::dialogs
