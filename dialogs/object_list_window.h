#pragma once
// The modeless "Model objects" window: widgets over ObjectListRules. It fills its list again
// after every change of the model, whoever made it, and is destroyed when closed.
#include <QDialog>

#include "app/model_events.h"
#include "app/source_cache.h"
#include "app/ui_services.h"
#include "dialogs/object_list_rules.h"

class QListWidget;
class QPushButton;

namespace lv::dialogs {

class ObjectListWindow : public QDialog {
    Q_OBJECT
public:
    // Every argument must outlive the window. The window deletes itself when closed.
    ObjectListWindow(app::SourceCache& cache, ui::ModelEvents& events, ui::UiServices& ui,
                     QWidget* parent = nullptr);

    const ObjectListRules& rules() const { return rules_; }
    QListWidget* list() const { return list_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* removeButton() const { return remove_; }
    QPushButton* removeAllButton() const { return removeAll_; }
    QPushButton* propertiesButton() const { return properties_; }
    QPushButton* closeButton() const { return close_; }

    // Fills the list from the model: the current object's item alone is selected.
    void refill();
    // Escape closes (and so destroys) the window as "&Close" does.
    void reject() override;

signals:
    // Emitted when the window closes, before it is destroyed.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void selectionEdited();
    void updateButtons();
    void addNew();
    void removeSelected();
    void removeEverything();
    void openProperties();

    app::SourceCache& cache_;
    ui::ModelEvents& events_;
    ui::UiServices& ui_;
    ObjectListRules rules_;
    QListWidget* list_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* removeAll_;
    QPushButton* properties_;
    QPushButton* close_;
};

} // namespace lv::dialogs
