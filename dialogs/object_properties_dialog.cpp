#include "dialogs/object_properties_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "dialogs/show_notice.h"

namespace lv::dialogs {

namespace {

// ORDER KIND: index = kind - XAxis.
constexpr const char* kChoiceTexts[7] = {"&X axis", "&Y axis", "&Z axis", "&Constant value:",
                                         "T&1",     "T&2",     "T&3"};

} // namespace

ObjectPropertiesDialog::ObjectPropertiesDialog(ui::ModelEvents& events, ui::UiServices& ui,
                                               int tab, const std::string& preselect,
                                               QWidget* parent)
    : QDialog(parent), events_(events), ui_(ui), rules_(events.model(), tab, preselect) {
    setWindowTitle(tr("General Objects Properties"));
    auto* layout = new QVBoxLayout(this);
    objects_ = new QComboBox(this);
    objects_->setObjectName("objectList");
    objects_->setAccessibleName(tr("Object"));
    layout->addWidget(objects_);
    tabs_ = new QTabBar(this);
    for (const char* title : kTabTitles) tabs_->addTab(tr(title));
    layout->addWidget(tabs_);

    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* listLabel = new QLabel(tr("Select parameter:"), this);
    rows_ = new QTreeWidget(this);
    rows_->setObjectName("parameterList");
    rows_->setColumnCount(2);
    rows_->setHeaderLabels({tr("Attribute:"), tr("Value:")});
    rows_->setRootIsDecorated(false);
    rows_->header()->setSectionResizeMode(QHeaderView::Stretch);
    listLabel->setBuddy(rows_);
    left->addWidget(listLabel);
    left->addWidget(rows_);
    body->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    space_ = new QGroupBox(tr("&Space direction:"), this);
    auto* spaceLayout = new QVBoxLayout(space_);
    time_ = new QGroupBox(tr("&Time variable:"), this);
    auto* timeLayout = new QVBoxLayout(time_);
    for (int i = 0; i < 7; ++i) {
        QWidget* owner = this;
        if (i != 3) owner = i < 3 ? space_ : time_;
        choices_[i] = new QRadioButton(tr(kChoiceTexts[i]), owner);
        choices_[i]->setAutoExclusive(false); // the rules decide which one is checked
        const int kind = model::XAxis + i;
        connect(choices_[i], &QRadioButton::clicked, this, [this, kind] {
            rules_.chooseKind(kind);
            mirrorRows();
            mirrorControls();
        });
    }
    for (int i = 0; i < 3; ++i) spaceLayout->addWidget(choices_[i]);
    for (int i = 4; i < 7; ++i) timeLayout->addWidget(choices_[i]);
    constant_ = new QLineEdit(this);
    constant_->setObjectName("constantField");
    constant_->setAccessibleName(tr("Constant value:"));
    valueLabel_ = new QLabel(tr("Value:"), this);
    value_ = new QLineEdit(this);
    value_->setObjectName("valueField");
    valueLabel_->setBuddy(value_);
    right->addWidget(space_);
    right->addWidget(choices_[3]);
    right->addWidget(constant_);
    right->addWidget(time_);
    right->addWidget(valueLabel_);
    right->addWidget(value_);
    right->addStretch();
    body->addLayout(right);
    layout->addLayout(body);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons_);

    connect(objects_, &QComboBox::activated, this, [this](int i) {
        rules_.selectObject(i);
        mirrorAll();
    });
    connect(tabs_, &QTabBar::tabBarClicked, this, [this](int i) {
        if (i < 0) return;
        rules_.showTab(i);
        mirrorAll();
    });
    connect(tabs_, &QTabBar::currentChanged, this, [this](int i) {
        // Keyboard switching (Ctrl+Tab, arrows) arrives here only.
        if (i >= 0 && i != rules_.tab()) {
            rules_.showTab(i);
            mirrorAll();
        }
    });
    connect(rows_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!item) return;
        rules_.selectRow(rows_->indexOfTopLevelItem(item));
        mirrorControls();
    });
    connect(constant_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (std::optional<Notice> refused = rules_.typeConstant(text.toStdString()))
            showNotice(ui_, this, *refused, constant_);
        else mirrorRows();
    });
    connect(value_, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (std::optional<Notice> refused = rules_.typeTransformValue(text.toStdString()))
            showNotice(ui_, this, *refused, value_);
        else mirrorRows();
    });
    connect(buttons_, &QDialogButtonBox::accepted, this, &ObjectPropertiesDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &ObjectPropertiesDialog::reject);

    ui::applyAccessibleNames(this);
    mirrorAll();
}

QRadioButton* ObjectPropertiesDialog::choice(int kind) const {
    return kind >= model::XAxis && kind <= model::T3 ? choices_[kind - model::XAxis] : nullptr;
}

QPushButton* ObjectPropertiesDialog::okButton() const {
    return buttons_->button(QDialogButtonBox::Ok);
}

void ObjectPropertiesDialog::mirrorAll() {
    {
        const QSignalBlocker block(objects_);
        objects_->clear();
        for (const std::string& name : rules_.objectNames())
            objects_->addItem(QString::fromStdString(name));
        objects_->setCurrentIndex(rules_.selectedObject());
    }
    {
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(rules_.tab());
    }
    const bool bindings = rules_.bindingControlsVisible();
    space_->setVisible(bindings);
    time_->setVisible(bindings);
    choices_[3]->setVisible(bindings);
    constant_->setVisible(bindings);
    valueLabel_->setVisible(!bindings);
    value_->setVisible(!bindings);
    {
        const QSignalBlocker block(rows_);
        rows_->clear();
    }
    mirrorRows();
    mirrorControls();
}

void ObjectPropertiesDialog::mirrorRows() {
    const QSignalBlocker block(rows_);
    const std::vector<PropertyRow>& rows = rules_.rows();
    if (rows_->topLevelItemCount() != static_cast<int>(rows.size())) {
        rows_->clear();
        for (std::size_t i = 0; i < rows.size(); ++i) new QTreeWidgetItem(rows_);
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QTreeWidgetItem* item = rows_->topLevelItem(static_cast<int>(i));
        item->setText(0, QString::fromStdString(rows[i].attribute));
        item->setText(1, QString::fromStdString(rows[i].value));
    }
    if (rules_.selectedRow() >= 0) rows_->setCurrentItem(rows_->topLevelItem(rules_.selectedRow()));
}

void ObjectPropertiesDialog::mirrorControls() {
    const BindingControls c = rules_.controls();
    for (int i = 0; i < 7; ++i) choices_[i]->setChecked(c.checkedKind == model::XAxis + i);
    space_->setEnabled(c.axisEnabled);
    choices_[3]->setEnabled(c.constantChoiceEnabled);
    time_->setEnabled(c.timeEnabled);
    constant_->setEnabled(c.constantFieldEnabled);
    constant_->setText(QString::fromStdString(c.constantText));
    value_->setEnabled(rules_.valueFieldEnabled());
    value_->setText(QString::fromStdString(rules_.valueFieldText()));
}

void ObjectPropertiesDialog::accept() {
    if (std::optional<Notice> refused = rules_.okRefusal()) {
        showNotice(ui_, this, *refused, rules_.bindingControlsVisible() ? constant_ : value_);
        return;
    }
    events_.replaceObjects(rules_.copies(), rules_.selectedCopy());
    QDialog::accept();
}

} // namespace lv::dialogs
