#include "dialogs/export_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace lv::dialogs {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

} // namespace

ExportDialog::ExportDialog(ui::UiServices& ui, Exporter& exporter, QWidget* parent)
    : QDialog(parent), ui_(ui), exporter_(exporter), state_(exporter.state()) {
    setWindowTitle("Export Dialog");
    auto* layout = new QVBoxLayout(this);
    auto* sourceLabel = new QLabel("Select source to e&xport:");
    sources_ = new QComboBox;
    for (int i = 0; i < kExportSourceCount; ++i) sources_->addItem(exportSourceInfo(i).listText);
    sources_->setCurrentIndex(-1);
    sourceLabel->setBuddy(sources_);
    layout->addWidget(sourceLabel);
    layout->addWidget(sources_);

    fileLabel_ = new QLabel("Export &file name:");
    fileName_ = new QLineEdit;
    fileLabel_->setBuddy(fileName_);
    browse_ = new QPushButton("&Browse");
    browse_->setAutoDefault(false);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(fileName_, 1);
    fileRow->addWidget(browse_);
    layout->addWidget(fileLabel_);
    layout->addLayout(fileRow);

    export_ = new QPushButton("&Export");
    export_->setDefault(true);
    close_ = new QPushButton("Clo&se");
    close_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(export_);
    buttons->addWidget(close_);
    layout->addLayout(buttons);

    connect(sources_, &QComboBox::currentIndexChanged, this, [this](int i) { selectSource(i); });
    connect(fileName_, &QLineEdit::textChanged, this, [this] { updateEnabling(); });
    connect(browse_, &QPushButton::clicked, this, [this] { browse(); });
    connect(export_, &QPushButton::clicked, this, [this] { exportNow(); });
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    updateEnabling();
    ui::applyAccessibleNames(this);
    sources_->setFocus();
}

void ExportDialog::selectSource(int source) {
    source_ = source;
    state_ = exporter_.state();
    fileName_->clear();
    updateEnabling();
}

void ExportDialog::updateEnabling() {
    const ExportEnabling e = exportEnabling(source_, state_, fileName_->text().toStdString());
    fileLabel_->setEnabled(e.fileControls);
    fileName_->setEnabled(e.fileControls);
    browse_->setEnabled(e.fileControls);
    export_->setEnabled(e.exportButton);
}

void ExportDialog::browse() {
    if (source_ < 0) return;
    const QString chosen = ui_.saveFileName(this, kExportBrowseTitle, qs(exportFilter(source_)));
    if (chosen.isEmpty()) return;
    fileName_->setText(qs(exportFileName(chosen.toStdString(), source_)));
}

bool ExportDialog::exportNow() {
    ExportFeedback feedback;
    feedback.confirmReplace = [this](const std::string& question) {
        return ui_.message(this, qs(question), ui::MsgIcon::Question, ui::MsgButtons::YesNo,
                           ui::MsgResult::No) == ui::MsgResult::Yes;
    };
    feedback.result = [this](const std::string& text, bool success) {
        ui_.message(this, qs(text), success ? ui::MsgIcon::Information : ui::MsgIcon::Error);
    };
    std::string error;
    return runExport(source_, fileName_->text().toStdString(), exporter_, feedback, error);
}

void runExportDialog(QWidget* parent, ui::UiServices& ui, Exporter& exporter) {
    ExportDialog dialog(ui, exporter, parent);
    dialog.exec();
}

} // namespace lv::dialogs
