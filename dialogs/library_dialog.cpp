#include "dialogs/library_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lv::dialogs {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

} // namespace

LibraryDialog::LibraryDialog(ui::UiServices& ui, const app::SourceCache& cache, QWidget* parent)
    : QDialog(parent), ui_(ui), session_(cache) {
    setWindowTitle("Library Properties");
    auto* layout = new QVBoxLayout(this);
    enable_ = new QCheckBox("Enable Library");
    layout->addWidget(enable_);
    pathLabel_ = new QLabel("Select External Library:");
    path_ = new QLineEdit;
    path_->setReadOnly(true);
    pathLabel_->setBuddy(path_);
    browse_ = new QPushButton("&Browse");
    browse_->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(path_, 1);
    row->addWidget(browse_);
    layout->addWidget(pathLabel_);
    layout->addLayout(row);
    showPath_ = new QCheckBox("&Show file path");
    layout->addWidget(showPath_);
    listLabel_ = new QLabel("Functions:");
    list_ = new QTreeWidget;
    list_->setRootIsDecorated(false);
    list_->setMinimumWidth(360);
    listLabel_->setBuddy(list_);
    layout->addWidget(listLabel_);
    layout->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);

    enable_->setChecked(session_.enabled());
    connect(enable_, &QCheckBox::clicked, this, [this](bool on) {
        session_.setEnabled(on);
        fill();
    });
    connect(showPath_, &QCheckBox::clicked, this, [this](bool on) {
        session_.setShowPath(on);
        path_->setText(qs(session_.pathText()));
    });
    connect(browse_, &QPushButton::clicked, this, [this] { browse(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        session_.setEnabled(enable_->isChecked());
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    fill();
    ui::applyAccessibleNames(this);
}

void LibraryDialog::fill() {
    list_->clear();
    const bool on = session_.enabled();
    for (QWidget* w : {static_cast<QWidget*>(list_), static_cast<QWidget*>(path_),
                       static_cast<QWidget*>(pathLabel_), static_cast<QWidget*>(browse_),
                       static_cast<QWidget*>(showPath_), static_cast<QWidget*>(listLabel_)})
        w->setEnabled(on);
    path_->setText(qs(session_.pathText()));
    const LibraryListing listing = session_.listing();
    list_->setColumnCount(std::max<int>(1, static_cast<int>(listing.columns.size())));
    QStringList titles;
    for (const auto& column : listing.columns) titles << qs(column.title);
    list_->setHeaderLabels(titles.isEmpty() ? QStringList{QString()} : titles);
    list_->setHeaderHidden(listing.columns.empty());
    const int width = list_->viewport()->width();
    for (int i = 0; i < static_cast<int>(listing.columns.size()); ++i) {
        const int w = listing.columns[static_cast<std::size_t>(i)].width;
        list_->setColumnWidth(i, w == -1 ? width : w < 0 ? std::max(60, width + w) : w);
    }
    for (const auto& texts : listing.rows) {
        QStringList cells;
        for (const std::string& text : texts) cells << qs(text);
        auto* item = new QTreeWidgetItem(list_, cells);
        for (int c = 1; c < cells.size(); ++c) item->setTextAlignment(c, Qt::AlignRight);
    }
}

void LibraryDialog::browse() {
    const QString chosen = ui_.openFileName(this, kLibraryBrowseTitle, kLibraryFilter);
    if (chosen.isEmpty()) return;
    const std::string error = session_.browse(chosen.toStdString());
    if (!error.empty()) ui_.message(this, qs(error), ui::MsgIcon::Error);
    fill();
}

bool runLibraryDialog(QWidget* parent, ui::UiServices& ui, app::SourceCache& cache) {
    LibraryDialog dialog(ui, cache, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    dialog.session().apply(cache);
    return true;
}

} // namespace lv::dialogs
