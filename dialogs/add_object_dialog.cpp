#include "dialogs/add_object_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace lv::dialogs {

AddObjectDialog::AddObjectDialog(app::SourceCache& cache, ui::ModelEvents& events,
                                 ui::UiServices& ui, QWidget* parent)
    : QDialog(parent), cache_(cache), events_(events), ui_(ui), rules_(cache, events.model()) {
    setWindowTitle(tr("Add Object"));
    auto* grid = new QGridLayout(this);
    auto* fileLabel = new QLabel(tr("Select &file with source text:"), this);
    files_ = new QComboBox(this);
    files_->setObjectName("fileList");
    fileLabel->setBuddy(files_);
    browse_ = new QPushButton(tr("&Browse"), this);
    browse_->setAutoDefault(false);
    showPath_ = new QCheckBox(tr("&Show file path"), this);
    showPath_->setChecked(true);
    auto* functionLabel = new QLabel(tr("Select F&unction:"), this);
    functions_ = new QComboBox(this);
    functions_->setObjectName("functionList");
    functionLabel->setBuddy(functions_);
    auto* nameLabel = new QLabel(tr("&Enter the name for object:"), this);
    name_ = new QLineEdit(this);
    name_->setObjectName("nameField");
    nameLabel->setBuddy(name_);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    grid->addWidget(fileLabel, 0, 0, 1, 2);
    grid->addWidget(files_, 1, 0);
    grid->addWidget(browse_, 1, 1);
    grid->addWidget(showPath_, 2, 0, 1, 2);
    grid->addWidget(functionLabel, 3, 0, 1, 2);
    grid->addWidget(functions_, 4, 0, 1, 2);
    grid->addWidget(nameLabel, 5, 0, 1, 2);
    grid->addWidget(name_, 6, 0, 1, 2);
    grid->addWidget(buttons_, 7, 0, 1, 2);
    files_->setMinimumContentsLength(40);

    connect(files_, &QComboBox::activated, this, [this](int i) {
        rules_.selectFile(i);
        mirror();
    });
    connect(functions_, &QComboBox::activated, this, [this](int i) {
        rules_.selectFunction(i);
        mirror();
    });
    connect(showPath_, &QCheckBox::clicked, this, [this](bool on) {
        rules_.setShowPath(on);
        mirror();
    });
    connect(name_, &QLineEdit::textEdited, this, [this](const QString& text) {
        rules_.editName(text.toStdString());
        okButton()->setEnabled(rules_.okEnabled());
    });
    connect(browse_, &QPushButton::clicked, this, &AddObjectDialog::browse);
    connect(buttons_, &QDialogButtonBox::accepted, this, &AddObjectDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &AddObjectDialog::reject);

    ui::applyAccessibleNames(this);
    rules_.open();
    mirror();
}

QPushButton* AddObjectDialog::okButton() const { return buttons_->button(QDialogButtonBox::Ok); }

void AddObjectDialog::browse() {
    const QString path = ui_.openFileName(this, QString::fromUtf8(kBrowseTitle),
                                          QString::fromUtf8(kBrowseFilter));
    if (path.isEmpty()) return;
    std::optional<Notice> notice = rules_.browse(path.toStdString());
    mirror();
    if (notice) showNotice(ui_, this, *notice);
}

void AddObjectDialog::mirror() {
    {
        const QSignalBlocker block(files_);
        files_->clear();
        for (const std::string& item : rules_.fileItems())
            files_->addItem(QString::fromStdString(item));
        files_->setCurrentIndex(rules_.selectedFile());
    }
    {
        const QSignalBlocker block(functions_);
        functions_->clear();
        for (const std::string& item : rules_.functionItems())
            functions_->addItem(QString::fromStdString(item));
        functions_->setCurrentIndex(rules_.selectedFunction());
        functions_->setEnabled(rules_.functionsEnabled());
    }
    showPath_->setChecked(rules_.showPath());
    name_->setText(QString::fromStdString(rules_.nameText()));
    name_->setEnabled(rules_.nameEnabled());
    okButton()->setEnabled(rules_.okEnabled());
}

void AddObjectDialog::accept() {
    if (!rules_.okEnabled()) return;
    AddObjectRules::OkDecision d = rules_.decideOk();
    if (d.add) {
        if (events_.addObject(cache_, d.name, d.function, d.path)) {
            QDialog::accept();
            return;
        }
        d.notice = rules_.addFailed();
    }
    // The rules kept the typed name, or filled the lists again after a file changed.
    mirror();
    showNotice(ui_, this, d.notice);
    if (d.focusName) ui::focusAndSelect(name_);
}

} // namespace lv::dialogs
