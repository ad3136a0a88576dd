#include "app/reference_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ui_services.h"
#include "lang/builtins.h"

namespace lv::app {

QStringList builtinReferenceEntries() {
    QStringList entries;
    for (int row = 0; row < lang::kBuiltinCount; ++row)
        entries.append(QString::fromStdString(lang::builtinSignature(row)));
    // A list box that keeps its entries sorted compares them without regard to case.
    std::stable_sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return entries;
}

ReferenceWindow::ReferenceWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Built-in Lumovar functions reference"));
    setModal(false);
    auto* listGroup = new QGroupBox(QStringLiteral("List of available functions:"), this);
    list_ = new QListWidget(listGroup);
    list_->addItems(builtinReferenceEntries());
    list_->setAccessibleName(listGroup->title());
    auto* listLayout = new QVBoxLayout(listGroup);
    listLayout->addWidget(list_);

    auto* legend = new QGroupBox(QStringLiteral("Legend:"), this);
    auto* legendLayout = new QVBoxLayout(legend);
    legendLayout->addWidget(new QLabel(QStringLiteral("R - real value; A - array; S - string.")));
    legendLayout->addWidget(new QLabel(QStringLiteral("See documentation for details.")));

    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(listGroup, 1);
    layout->addWidget(legend);
    layout->addLayout(buttons);
    resize(360, 420);
    ui::applyAccessibleNames(this);
}

void ReferenceWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    emit visibilityChanged(true);
}

void ReferenceWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    emit visibilityChanged(false);
}

void ReferenceWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

void ReferenceWindow::reject() { hide(); }

} // namespace lv::app
