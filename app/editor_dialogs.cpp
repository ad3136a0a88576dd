#include "app/editor_dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/ui_services.h"

namespace lv::app {

std::optional<int> parseTabWidth(const QString& text) {
    QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 9) return std::nullopt;
    for (QChar c : t)
        if (!c.isDigit() || c.unicode() > 127) return std::nullopt;
    int value = t.toInt();
    if (value < kMinTabWidth || value > kMaxTabWidth) return std::nullopt;
    return value;
}

QString tabWidthRangeMessage() {
    return QStringLiteral("Please enter an integer between %1 and %2.")
        .arg(kMinTabWidth)
        .arg(kMaxTabWidth);
}

TabWidthDialog::TabWidthDialog(int width, Reporter report, QWidget* parent)
    : QDialog(parent), report_(std::move(report)), width_(width) {
    setWindowTitle(QStringLiteral("Tab stops"));
    auto* prompt = new QLabel(QStringLiteral("Enter the tab stop width:"), this);
    field_ = new QLineEdit(QString::number(width), this);
    prompt->setBuddy(field_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TabWidthDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(field_);
    layout->addWidget(buttons);
    field_->selectAll();
    ui::applyAccessibleNames(this);
}

void TabWidthDialog::accept() {
    std::optional<int> value = parseTabWidth(field_->text());
    if (!value) {
        report_(tabWidthRangeMessage());
        ui::focusAndSelect(field_);
        return;
    }
    width_ = *value;
    QDialog::accept();
}

FindDialog::FindDialog(bool replaceMode, const QString& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(replaceMode ? QStringLiteral("Replace") : QStringLiteral("Find"));
    setModal(false);
    auto* form = new QFormLayout;
    find_ = new QLineEdit(text, this);
    form->addRow(QStringLiteral("Fi&nd what:"), find_);
    if (replaceMode) {
        replace_ = new QLineEdit(this);
        form->addRow(QStringLiteral("Re&place with:"), replace_);
    }
    wholeWord_ = new QCheckBox(QStringLiteral("Match &whole word only"), this);
    matchCase_ = new QCheckBox(QStringLiteral("Match &case"), this);
    auto* options = new QVBoxLayout;
    options->addWidget(wholeWord_);
    options->addWidget(matchCase_);
    auto* row = new QHBoxLayout;
    row->addLayout(options);
    if (!replaceMode) {
        auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
        auto* up = new QRadioButton(QStringLiteral("&Up"), direction);
        down_ = new QRadioButton(QStringLiteral("&Down"), direction);
        down_->setChecked(true);
        auto* d = new QHBoxLayout(direction);
        d->addWidget(up);
        d->addWidget(down_);
        row->addWidget(direction);
    }
    auto* buttons = new QVBoxLayout;
    auto* next = new QPushButton(QStringLiteral("&Find Next"), this);
    next->setDefault(true);
    connect(next, &QPushButton::clicked, this, &FindDialog::findNext);
    buttons->addWidget(next);
    if (replaceMode) {
        auto* one = new QPushButton(QStringLiteral("&Replace"), this);
        auto* all = new QPushButton(QStringLiteral("Replace &All"), this);
        connect(one, &QPushButton::clicked, this, &FindDialog::replaceOne);
        connect(all, &QPushButton::clicked, this, &FindDialog::replaceAll);
        buttons->addWidget(one);
        buttons->addWidget(all);
    }
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);
    buttons->addStretch();
    auto* left = new QVBoxLayout;
    left->addLayout(form);
    left->addLayout(row);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    find_->selectAll();
    ui::applyAccessibleNames(this);
}

QString FindDialog::findText() const { return find_->text(); }
QString FindDialog::replaceText() const { return replace_ ? replace_->text() : QString(); }
bool FindDialog::matchCase() const { return matchCase_->isChecked(); }
bool FindDialog::wholeWord() const { return wholeWord_->isChecked(); }
bool FindDialog::searchDown() const { return !down_ || down_->isChecked(); }

} // namespace lv::app
