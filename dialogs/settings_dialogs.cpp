#include "dialogs/settings_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "lang/settings.h"

namespace lv::dialogs {

namespace {

// OK and Cancel at the bottom of dialog's layout.
void addOkCancel(QDialog* dialog, QBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
}

template <std::size_t N>
std::array<std::string, N> textsOf(const std::vector<QLineEdit*>& fields) {
    std::array<std::string, N> texts;
    for (std::size_t i = 0; i < N; ++i) texts[i] = ss(fields[i]->text());
    return texts;
}

template <std::size_t N>
void showTexts(const std::vector<QLineEdit*>& fields, const std::array<std::string, N>& texts) {
    for (std::size_t i = 0; i < N; ++i) fields[i]->setText(qs(texts[i]));
}

SettingsTarget checkedTarget(const QButtonGroup* group) {
    return static_cast<SettingsTarget>(group->checkedId());
}

} // namespace

ModelSpaceDialog::ModelSpaceDialog(ui::UiServices& ui, const model::BoundingBox& box,
                                   QWidget* parent)
    : QDialog(parent), ui_(ui), box_(box) {
    setWindowTitle("Model Space");
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox("Enter the default object space:");
    auto* grid = new QGridLayout(group);
    const char* from[3] = {"&X varies from :", "&Y varies from:", "&Z varies from:"};
    const char* axes[3] = {"X", "Y", "Z"};
    for (int axis = 0; axis < 3; ++axis) {
        fields_.push_back(addLabelledEdit(grid, axis, 0, from[axis]));
        QLineEdit* to = addLabelledEdit(grid, axis, 2, "to:");
        to->setAccessibleName(QString("%1 to:").arg(axes[axis])); // three labels read "to:"
        fields_.push_back(to);
    }
    layout->addWidget(group);
    addOkCancel(this, layout);
    showTexts(fields_, modelSpaceTexts(box));
    ui::applyAccessibleNames(this);
}

void ModelSpaceDialog::accept() {
    if (auto refusal = storeModelSpace(textsOf<6>(fields_), box_))
        return showNotice(ui_, this, *refusal, noticeField(*refusal, fields_));
    QDialog::accept();
}

TimeVariablesDialog::TimeVariablesDialog(ui::UiServices& ui, const std::array<float, 3>& values,
                                         const model::TimeUsage& usage, QWidget* parent)
    : QDialog(parent), ui_(ui), values_(values) {
    setWindowTitle("Time Variables");
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox("Default values:");
    auto* grid = new QGridLayout(group);
    const char* names[3] = {"T&1 := ", "T&2 := ", "T&3 := "};
    const std::array<bool, 3> enabled = timeVariableEnabled(usage);
    for (std::size_t i = 0; i < 3; ++i) {
        fields_.push_back(addLabelledEdit(grid, 0, static_cast<int>(2 * i), names[i], &labels_[i]));
        fields_[i]->setEnabled(enabled[i]);
        labels_[i]->setEnabled(enabled[i]);
    }
    layout->addWidget(group);
    addOkCancel(this, layout);
    showTexts(fields_, timeVariableTexts(values));
    ui::applyAccessibleNames(this);
}

void TimeVariablesDialog::accept() {
    if (auto refusal = storeTimeVariables(textsOf<3>(fields_), values_))
        return showNotice(ui_, this, *refusal, noticeField(*refusal, fields_));
    QDialog::accept();
}

QGroupBox* makeTargetGroup(const QString& title, SettingsTarget preselected,
                           QButtonGroup*& buttons, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(group);
    buttons = new QButtonGroup(group);
    const char* texts[3] = {"&Polygonization window", "&Raytracing window", "&Both windows"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(texts[i]);
        buttons->addButton(radio, i);
        layout->addWidget(radio);
    }
    buttons->button(static_cast<int>(preselected))->setChecked(true);
    return group;
}

ImageSizeDialog::ImageSizeDialog(ui::UiServices& ui, const model::ModelSettings& settings,
                                 SettingsTarget branch, QWidget* parent)
    : QDialog(parent), ui_(ui), settings_(settings) {
    setWindowTitle(qs(imageSizeCaption(branch)));
    auto* layout = new QVBoxLayout(this);
    auto* dims = new QGroupBox("Enter dimensions:");
    auto* grid = new QGridLayout(dims);
    fields_.push_back(addLabelledEdit(grid, 0, 0, "&horizontal :="));
    fields_.push_back(addLabelledEdit(grid, 1, 0, "&vertical :="));
    layout->addWidget(dims);
    layout->addWidget(makeTargetGroup("The image size will be set &for:", branch, targets_, this));
    addOkCancel(this, layout);
    const model::ImageSize size = imageSizeOf(settings, branch);
    fields_[0]->setText(QString::number(size.width));
    fields_[1]->setText(QString::number(size.height));
    ui::applyAccessibleNames(this);
}

QRadioButton* ImageSizeDialog::target(SettingsTarget t) const {
    return static_cast<QRadioButton*>(targets_->button(static_cast<int>(t)));
}

void ImageSizeDialog::accept() {
    if (auto refusal = storeImageSize(ss(fields_[0]->text()), ss(fields_[1]->text()),
                                      checkedTarget(targets_), settings_))
        return showNotice(ui_, this, *refusal, noticeField(*refusal, fields_));
    QDialog::accept();
}

BackgroundColorDialog::BackgroundColorDialog(ui::UiServices& ui,
                                             const model::ModelSettings& settings,
                                             SettingsTarget branch, QWidget* parent)
    : QDialog(parent), ui_(ui), settings_(settings) {
    setWindowTitle("Background color");
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    swatch_ = new ColourSwatch;
    swatch_->setAccessibleName("Background color");
    swatch_->setColour(backgroundOf(settings, branch));
    auto* select = new QPushButton("&Select");
    connect(select, &QPushButton::clicked, this, [this] { selectColour(); });
    row->addWidget(swatch_);
    row->addWidget(select);
    layout->addLayout(row);
    layout->addWidget(
        makeTargetGroup("The background color will be set &for:", branch, targets_, this));
    addOkCancel(this, layout);
    ui::applyAccessibleNames(this);
}

QRadioButton* BackgroundColorDialog::target(SettingsTarget t) const {
    return static_cast<QRadioButton*>(targets_->button(static_cast<int>(t)));
}

void BackgroundColorDialog::selectColour() {
    if (auto chosen = ui_.chooseColor(this, toQColor(swatch_->colour())))
        swatch_->setColour(fromQColor(*chosen));
}

void BackgroundColorDialog::accept() {
    storeBackground(swatch_->colour(), checkedTarget(targets_), settings_);
    QDialog::accept();
}

RenderQualityDialog::RenderQualityDialog(const model::ModelSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle("Rendering quality");
    auto* layout = new QVBoxLayout(this);
    auto* kindGroup = new QGroupBox("Kind of surface:");
    auto* kindLayout = new QHBoxLayout(kindGroup);
    kinds_ = new QButtonGroup(this);
    const char* kinds[3] = {"&Points", "&Wireframe", "&Solid"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(kinds[i]);
        kinds_->addButton(radio, i);
        kindLayout->addWidget(radio);
    }
    layout->addWidget(kindGroup);
    lighting_ = new QCheckBox("&Lighting on");
    layout->addWidget(lighting_);
    shading_ = new QGroupBox("Shading mode:");
    auto* shadingLayout = new QHBoxLayout(shading_);
    flat_ = new QRadioButton("&Flat");
    gouraud_ = new QRadioButton("&Gouraud");
    shadingLayout->addWidget(flat_);
    shadingLayout->addWidget(gouraud_);
    layout->addWidget(shading_);
    dithering_ = new QCheckBox("&Dithering on");
    antialiasing_ = new QCheckBox("&Antialiasing on");
    layout->addWidget(dithering_);
    layout->addWidget(antialiasing_);
    addOkCancel(this, layout);

    const QualityChoice q = qualityOf(settings);
    kinds_->button(q.surfaceKind)->setChecked(true);
    (q.flat ? flat_ : gouraud_)->setChecked(true);
    lighting_->setChecked(q.lighting);
    shading_->setEnabled(q.lighting);
    dithering_->setChecked(q.dithering);
    antialiasing_->setChecked(q.antialiasing);
    connect(lighting_, &QCheckBox::clicked, shading_, &QWidget::setEnabled);
    ui::applyAccessibleNames(this);
}

void RenderQualityDialog::accept() {
    QualityChoice q;
    q.surfaceKind = kinds_->checkedId();
    q.flat = !gouraud_->isChecked();
    q.lighting = lighting_->isChecked();
    q.dithering = dithering_->isChecked();
    q.antialiasing = antialiasing_->isChecked();
    storeQuality(q, settings_);
    QDialog::accept();
}

LumovarPropertiesDialog::LumovarPropertiesDialog(ui::UiServices& ui, bool focusAlpha,
                                                 QWidget* parent)
    : QDialog(parent), ui_(ui) {
    setWindowTitle("Lumovar Properties");
    auto* layout = new QVBoxLayout(this);
    const char* groups[2] = {"Lumovar calculation presicion:",
                             "Value for alpha functions (-1.0..1.0):"};
    const char* labels[2] = {"&EPS := ", "&ALPHA := "};
    for (int i = 0; i < 2; ++i) {
        auto* group = new QGroupBox(groups[i]);
        auto* grid = new QGridLayout(group);
        fields_.push_back(addLabelledEdit(grid, 0, 0, labels[i]));
        layout->addWidget(group);
    }
    addOkCancel(this, layout);
    showTexts(fields_, epsAlphaTexts(lang::eps(), lang::alpha()));
    ui::applyAccessibleNames(this);
    ui::focusAndSelect(fields_[focusAlpha ? 1 : 0]);
}

void LumovarPropertiesDialog::accept() {
    const std::string eps = ss(fields_[0]->text()), alpha = ss(fields_[1]->text());
    if (ui_.message(this, qs(epsAlphaQuestion(eps, alpha)), ui::MsgIcon::Question,
                    ui::MsgButtons::YesNo, ui::MsgResult::Yes) != ui::MsgResult::Yes)
        return;
    if (auto refusal = storeEpsAlpha(eps, alpha))
        return showNotice(ui_, this, *refusal, noticeField(*refusal, fields_));
    QDialog::accept();
}

} // namespace lv::dialogs
