#include "dialogs/settings_properties_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace lv::dialogs {

namespace {

constexpr int kPolyColour = 0, kRayColour = 1;

int colourIndex(int page) { return page == RayColourPage ? kRayColour : kPolyColour; }

} // namespace

RenderingPropertiesDialog::RenderingPropertiesDialog(ui::UiServices& ui, const model::Model& model,
                                               int page, QWidget* parent)
    : QDialog(parent), ui_(ui), session_(model, page) {
    setWindowTitle("Objects rendering properties");
    auto* layout = new QVBoxLayout(this);
    auto* choices = new QGridLayout;
    auto* objectLabel = new QLabel("Select Object:");
    objects_ = new QComboBox;
    objectLabel->setBuddy(objects_);
    for (const std::string& name : session_.names()) objects_->addItem(qs(name));
    auto* pageLabel = new QLabel("Select Property:");
    pages_ = new QComboBox;
    pageLabel->setBuddy(pages_);
    for (const char* name : kPropertyPageNames) pages_->addItem(name);
    choices->addWidget(objectLabel, 0, 0);
    choices->addWidget(objects_, 0, 1);
    choices->addWidget(pageLabel, 1, 0);
    choices->addWidget(pages_, 1, 1);
    layout->addLayout(choices);

    stack_ = new QStackedWidget;
    stack_->addWidget(makeBoxPage());
    stack_->addWidget(makeGridsPage());
    stack_->addWidget(new QLabel("Sorry, not implemented yet"));
    stack_->addWidget(makeColourPage(kPolyColour, "Apply for raytracing, also"));
    stack_->addWidget(makeMaxGradientPage());
    stack_->addWidget(makeAccuracyPage());
    stack_->addWidget(makeColourPage(kRayColour, "Apply for polygonization, also"));
    layout->addWidget(stack_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    applyButton_ = buttons->addButton("Apply", QDialogButtonBox::ApplyRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(applyButton_, &QPushButton::clicked, this, [this] { applyPage(); });
    layout->addWidget(buttons);

    // Only what the user did reloads: activated, clicked.
    connect(objects_, &QComboBox::activated, this, [this](int i) { chooseObject(i); });
    connect(pages_, &QComboBox::activated, this, [this](int i) { choosePage(i); });

    objects_->setCurrentIndex(session_.selectedEntry());
    pages_->setCurrentIndex(session_.page());
    stack_->setCurrentIndex(session_.page());
    loadPage();
    ui::applyAccessibleNames(this);
}

QWidget* RenderingPropertiesDialog::makeBoxPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    default_ = new QRadioButton("Default");
    custom_ = new QRadioButton("Custom");
    auto* group = new QButtonGroup(page);
    group->addButton(default_);
    group->addButton(custom_);
    grid->addWidget(default_, 0, 0, 1, 2);
    grid->addWidget(custom_, 0, 2, 1, 2);
    const char* names[6] = {"Xmin", "Ymin", "Zmin", "Xmax", "Ymax", "Zmax"};
    for (int i = 0; i < 6; ++i)
        box_[static_cast<std::size_t>(i)] = addLabelledEdit(grid, 1 + i % 3, 2 * (i / 3), names[i]);
    connect(default_, &QRadioButton::clicked, this, [this] { chooseCustom(false); });
    connect(custom_, &QRadioButton::clicked, this, [this] { chooseCustom(true); });
    return page;
}

QWidget* RenderingPropertiesDialog::makeGridsPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    const char* names[3] = {"Number of Grid lines for X:", "Number of Grid lines for Y:",
                            "Number of Grid lines for Z:"};
    for (int i = 0; i < 3; ++i)
        grid_[static_cast<std::size_t>(i)] = addLabelledEdit(grid, i, 0, names[i]);
    return page;
}

QWidget* RenderingPropertiesDialog::makeColourPage(int which, const char* alsoText) {
    auto* page = new QWidget;
    auto* layout = new QGridLayout(page);
    auto* swatch = new ColourSwatch;
    swatch->setAccessibleName(which == kPolyColour ? "Polygonization Color" : "Raytracing Color");
    auto* select = new QPushButton("Select");
    auto* also = new QCheckBox(alsoText);
    connect(select, &QPushButton::clicked, this, [this] { selectColour(); });
    layout->addWidget(swatch, 0, 0);
    layout->addWidget(select, 0, 1);
    layout->addWidget(also, 1, 0, 1, 2);
    swatches_[static_cast<std::size_t>(which)] = swatch;
    also_[static_cast<std::size_t>(which)] = also;
    return page;
}

QWidget* RenderingPropertiesDialog::makeMaxGradientPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    autoGradient_ = new QCheckBox("Automaticaly Eval Max Gradient");
    grid->addWidget(autoGradient_, 0, 0, 1, 2);
    maxGradient_ = addLabelledEdit(grid, 1, 0, "Max Gradient:", &maxGradientLabel_);
    connect(autoGradient_, &QCheckBox::clicked, this, [this](bool on) { chooseAutoGradient(on); });
    return page;
}

QWidget* RenderingPropertiesDialog::makeAccuracyPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    accuracy_ = addLabelledEdit(grid, 0, 0, "Accuracy:");
    return page;
}

void RenderingPropertiesDialog::setBoxEnabled(bool enabled) {
    for (QLineEdit* e : box_) e->setEnabled(enabled);
}

void RenderingPropertiesDialog::loadPage() {
    const PropertyFields f = session_.load();
    switch (session_.page()) {
    case BoxPage:
        (f.custom ? custom_ : default_)->setChecked(true);
        for (std::size_t i = 0; i < 6; ++i) box_[i]->setText(qs(f.box[i]));
        setBoxEnabled(f.custom);
        break;
    case GridsPage:
        for (std::size_t i = 0; i < 3; ++i) grid_[i]->setText(qs(f.grid[i]));
        break;
    case PolyColourPage:
    case RayColourPage: {
        const auto i = static_cast<std::size_t>(colourIndex(session_.page()));
        swatches_[i]->setColour(f.colour);
        also_[i]->setChecked(f.alsoOther);
        break;
    }
    case MaxGradientPage:
        autoGradient_->setChecked(f.autoGradient);
        maxGradient_->setText(qs(f.maxGradient));
        maxGradient_->setEnabled(!f.autoGradient);
        maxGradientLabel_->setEnabled(!f.autoGradient);
        break;
    case AccuracyPage: accuracy_->setText(qs(f.accuracy)); break;
    default: break;
    }
}

PropertyFields RenderingPropertiesDialog::fieldsShown() const {
    PropertyFields f;
    f.custom = custom_->isChecked();
    for (std::size_t i = 0; i < 6; ++i) f.box[i] = ss(box_[i]->text());
    for (std::size_t i = 0; i < 3; ++i) f.grid[i] = ss(grid_[i]->text());
    f.colour = swatch()->colour();
    f.alsoOther = alsoOther()->isChecked();
    f.autoGradient = autoGradient_->isChecked();
    f.maxGradient = ss(maxGradient_->text());
    f.accuracy = ss(accuracy_->text());
    return f;
}

std::vector<QLineEdit*> RenderingPropertiesDialog::pageFields() const {
    switch (session_.page()) {
    case BoxPage: return {box_.begin(), box_.end()};
    case GridsPage: return {grid_.begin(), grid_.end()};
    case MaxGradientPage: return {maxGradient_};
    case AccuracyPage: return {accuracy_};
    default: return {};
    }
}

ColourSwatch* RenderingPropertiesDialog::swatch() const {
    return swatches_[static_cast<std::size_t>(colourIndex(session_.page()))];
}

QCheckBox* RenderingPropertiesDialog::alsoOther() const {
    return also_[static_cast<std::size_t>(colourIndex(session_.page()))];
}

void RenderingPropertiesDialog::chooseObject(int entry) {
    session_.selectEntry(entry);
    objects_->setCurrentIndex(session_.selectedEntry());
    loadPage();
}

void RenderingPropertiesDialog::choosePage(int page) {
    session_.setPage(page);
    pages_->setCurrentIndex(session_.page());
    stack_->setCurrentIndex(session_.page());
    loadPage();
}

void RenderingPropertiesDialog::applyPage() {
    if (auto refusal = session_.apply(fieldsShown()))
        showNotice(ui_, this, *refusal, noticeField(*refusal, pageFields()));
}

void RenderingPropertiesDialog::chooseCustom(bool custom) {
    (custom ? custom_ : default_)->setChecked(true);
    const std::array<std::string, 6> texts = session_.defaultBoxTexts();
    for (std::size_t i = 0; i < 6; ++i) box_[i]->setText(qs(texts[i]));
    setBoxEnabled(custom);
}

void RenderingPropertiesDialog::chooseAutoGradient(bool automatic) {
    autoGradient_->setChecked(automatic);
    maxGradient_->setEnabled(!automatic);
    maxGradientLabel_->setEnabled(!automatic);
}

void RenderingPropertiesDialog::selectColour() {
    if (auto chosen = ui_.chooseColor(this, toQColor(swatch()->colour())))
        swatch()->setColour(fromQColor(*chosen));
}

CameraDialog::CameraDialog(ui::UiServices& ui, const model::Model& model, QWidget* parent)
    : QDialog(parent), ui_(ui), model_(model), settings_(model.settings) {
    setWindowTitle("Camera properties");
    auto* layout = new QVBoxLayout(this);
    auto* groups = new QHBoxLayout;
    const char* titles[3] = {"Position:", "Look at:", "Sky vector:"};
    const char* axes[3] = {"X :=", "Y :=", "Z :="};
    for (int g = 0; g < 3; ++g) {
        auto* group = new QGroupBox(titles[g]);
        auto* grid = new QGridLayout(group);
        for (int a = 0; a < 3; ++a) {
            QLineEdit* edit = addLabelledEdit(grid, a, 0, axes[a]);
            // Nine labels read "X :=" and the like: the group names which point they belong to.
            edit->setAccessibleName(QString("%1 %2").arg(titles[g], axes[a]));
            fields_.push_back(edit);
        }
        groups->addWidget(group);
    }
    layout->addLayout(groups);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* viewAllButton = buttons->addButton("View All", QDialogButtonBox::ActionRole);
    connect(viewAllButton, &QPushButton::clicked, this, [this] { viewAll(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    const std::array<std::string, 9> texts = cameraTexts(settings_);
    for (std::size_t i = 0; i < 9; ++i) fields_[i]->setText(qs(texts[i]));
    ui::applyAccessibleNames(this);
}

void CameraDialog::viewAll() {
    std::array<std::string, 9> texts;
    for (std::size_t i = 0; i < 9; ++i) texts[i] = ss(fields_[i]->text());
    texts = viewAllTexts(model_, texts);
    for (std::size_t i = 0; i < 9; ++i) fields_[i]->setText(qs(texts[i]));
}

void CameraDialog::accept() {
    std::array<std::string, 9> texts;
    for (std::size_t i = 0; i < 9; ++i) texts[i] = ss(fields_[i]->text());
    if (auto refusal = storeCamera(texts, settings_))
        return showNotice(ui_, this, *refusal, noticeField(*refusal, fields_));
    QDialog::accept();
}

} // namespace lv::dialogs
