#include "dialogs/object_list_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "dialogs/add_object_dialog.h"
#include "dialogs/object_properties_dialog.h"

namespace lv::dialogs {

ObjectListWindow::ObjectListWindow(app::SourceCache& cache, ui::ModelEvents& events,
                                   ui::UiServices& ui, QWidget* parent)
    : QDialog(parent), cache_(cache), events_(events), ui_(ui), rules_(events.model()) {
    setWindowTitle(tr("Model objects"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    auto* label = new QLabel(tr("Available &Objects:"), this);
    list_ = new QListWidget(this);
    list_->setObjectName("objectList");
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    label->setBuddy(list_);
    left->addWidget(label);
    left->addWidget(list_);
    auto* right = new QVBoxLayout;
    add_ = new QPushButton(tr("&Add New"), this);
    remove_ = new QPushButton(tr("&Remove"), this);
    removeAll_ = new QPushButton(tr("R&emove All"), this);
    properties_ = new QPushButton(tr("&Properties"), this);
    close_ = new QPushButton(tr("&Close"), this);
    for (QPushButton* b : {add_, remove_, removeAll_, properties_, close_}) {
        b->setAutoDefault(false);
        right->addWidget(b);
    }
    right->addStretch();
    columns->addLayout(left, 1);
    columns->addLayout(right);

    connect(list_, &QListWidget::itemSelectionChanged, this, &ObjectListWindow::selectionEdited);
    connect(add_, &QPushButton::clicked, this, &ObjectListWindow::addNew);
    connect(remove_, &QPushButton::clicked, this, &ObjectListWindow::removeSelected);
    connect(removeAll_, &QPushButton::clicked, this, &ObjectListWindow::removeEverything);
    connect(properties_, &QPushButton::clicked, this, &ObjectListWindow::openProperties);
    connect(close_, &QPushButton::clicked, this, &ObjectListWindow::close);
    connect(&events_, &ui::ModelEvents::changed, this, &ObjectListWindow::refill);

    ui::applyAccessibleNames(this);
    refill();
}

void ObjectListWindow::refill() {
    rules_.refill();
    const QSignalBlocker block(list_);
    list_->clear();
    for (const std::string& name : rules_.items()) list_->addItem(QString::fromStdString(name));
    for (int i : rules_.selection()) {
        list_->item(i)->setSelected(true);
        list_->setCurrentRow(i, QItemSelectionModel::NoUpdate);
    }
    updateButtons();
}

void ObjectListWindow::selectionEdited() {
    std::vector<int> rows;
    for (QListWidgetItem* item : list_->selectedItems()) rows.push_back(list_->row(item));
    rules_.setSelection(std::move(rows));
    updateButtons();
}

void ObjectListWindow::updateButtons() {
    remove_->setEnabled(rules_.removeEnabled());
    properties_->setEnabled(rules_.propertiesEnabled());
    removeAll_->setEnabled(rules_.removeAllEnabled());
}

void ObjectListWindow::addNew() {
    AddObjectDialog dialog(cache_, events_, ui_, this);
    dialog.exec();
    refill();
}

void ObjectListWindow::removeSelected() {
    if (!rules_.removeEnabled()) return;
    if (ui_.message(this, QString::fromUtf8(kRemoveQuestion), ui::MsgIcon::Question,
                    ui::MsgButtons::YesNo, ui::MsgResult::No) != ui::MsgResult::Yes)
        return;
    events_.removeObjects(rules_.selectedNames());
    refill();
}

void ObjectListWindow::removeEverything() {
    if (!rules_.removeAllEnabled()) return;
    if (ui_.message(this, QString::fromUtf8(kRemoveAllQuestion), ui::MsgIcon::Question,
                    ui::MsgButtons::YesNo, ui::MsgResult::No) != ui::MsgResult::Yes)
        return;
    events_.removeAll();
    refill();
}

void ObjectListWindow::openProperties() {
    if (!rules_.propertiesEnabled()) return;
    ObjectPropertiesDialog dialog(events_, ui_, XAssignTab, rules_.selectedNames().front(), this);
    dialog.exec();
    refill();
}

void ObjectListWindow::reject() { close(); }

void ObjectListWindow::closeEvent(QCloseEvent* event) {
    // QDialog's own close handling would reject (and so close) again: a plain close it is.
    emit closed();
    event->accept();
}

} // namespace lv::dialogs
