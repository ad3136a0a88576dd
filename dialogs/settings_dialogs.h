#pragma once
// The model-wide settings dialogs. Each works on a copy of the values, validates on OK through
// the rules of settings_rules.h (message, then focus on the refused field with its text
// selected, dialog kept open) and hands back the edited copy only when accepted.
// First, before any Qt header: Qt's keyword macros would rewrite Model::slots().
#include "model/model.h"

#include <array>

#include "app/ui_services.h"
#include "dialogs/settings_rules.h"
#include "dialogs/settings_widgets.h"
#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace lv::dialogs {

// "Model Space": the default box. Fields in the rules' order (X from, X to, ... Z to).
class ModelSpaceDialog : public QDialog {
public:
    ModelSpaceDialog(ui::UiServices& ui, const model::BoundingBox& box, QWidget* parent = nullptr);
    void accept() override;
    const model::BoundingBox& box() const { return box_; }
    QLineEdit* field(int i) const { return fields_[static_cast<std::size_t>(i)]; }

private:
    ui::UiServices& ui_;
    model::BoundingBox box_;
    std::vector<QLineEdit*> fields_;
};

// "Time Variables": the default T1, T2, T3; fields of unused variables disabled.
class TimeVariablesDialog : public QDialog {
public:
    TimeVariablesDialog(ui::UiServices& ui, const std::array<float, 3>& values,
                        const model::TimeUsage& usage, QWidget* parent = nullptr);
    void accept() override;
    const std::array<float, 3>& values() const { return values_; }
    QLineEdit* field(int i) const { return fields_[static_cast<std::size_t>(i)]; }
    QLabel* label(int i) const { return labels_[static_cast<std::size_t>(i)]; }

private:
    ui::UiServices& ui_;
    std::array<float, 3> values_;
    std::vector<QLineEdit*> fields_;
    std::array<QLabel*, 3> labels_{};
};

// The three radio buttons "&Polygonization window", "&Raytracing window", "&Both windows" in a
// group titled title; the id of each button is its SettingsTarget.
QGroupBox* makeTargetGroup(const QString& title, SettingsTarget preselected,
                           QButtonGroup*& buttons, QWidget* parent);

// The image size of the polygonization window, of ray tracing or of both.
class ImageSizeDialog : public QDialog {
public:
    ImageSizeDialog(ui::UiServices& ui, const model::ModelSettings& settings,
                    SettingsTarget branch, QWidget* parent = nullptr);
    void accept() override;
    const model::ModelSettings& settings() const { return settings_; }
    QLineEdit* field(int i) const { return fields_[static_cast<std::size_t>(i)]; }
    QRadioButton* target(SettingsTarget t) const;

private:
    ui::UiServices& ui_;
    model::ModelSettings settings_;
    std::vector<QLineEdit*> fields_;
    QButtonGroup* targets_ = nullptr;
};

// "Background color" of the polygonization window, of ray tracing or of both.
class BackgroundColorDialog : public QDialog {
public:
    BackgroundColorDialog(ui::UiServices& ui, const model::ModelSettings& settings,
                          SettingsTarget branch, QWidget* parent = nullptr);
    void accept() override;
    const model::ModelSettings& settings() const { return settings_; }
    ColourSwatch* swatch() const { return swatch_; }
    QRadioButton* target(SettingsTarget t) const;
    // The "&Select" button: the colour chooser, starting at the swatch colour.
    void selectColour();

private:
    ui::UiServices& ui_;
    model::ModelSettings settings_;
    ColourSwatch* swatch_ = nullptr;
    QButtonGroup* targets_ = nullptr;
};

// "Rendering quality": kind of surface, lighting, shading, dithering, antialiasing.
class RenderQualityDialog : public QDialog {
public:
    RenderQualityDialog(const model::ModelSettings& settings, QWidget* parent = nullptr);
    void accept() override;
    const model::ModelSettings& settings() const { return settings_; }
    QButtonGroup* kinds() const { return kinds_; }
    QCheckBox* lighting() const { return lighting_; }
    QCheckBox* dithering() const { return dithering_; }
    QCheckBox* antialiasing() const { return antialiasing_; }
    QRadioButton* flat() const { return flat_; }
    QRadioButton* gouraud() const { return gouraud_; }

private:
    model::ModelSettings settings_;
    QButtonGroup* kinds_ = nullptr;
    QCheckBox* lighting_ = nullptr;
    QCheckBox* dithering_ = nullptr;
    QCheckBox* antialiasing_ = nullptr;
    QGroupBox* shading_ = nullptr;
    QRadioButton* flat_ = nullptr;
    QRadioButton* gouraud_ = nullptr;
};

// "Lumovar Properties": EPS and ALPHA, confirmed by a question, stored together on Yes.
class LumovarPropertiesDialog : public QDialog {
public:
    LumovarPropertiesDialog(ui::UiServices& ui, bool focusAlpha, QWidget* parent = nullptr);
    void accept() override;
    QLineEdit* field(int i) const { return fields_[static_cast<std::size_t>(i)]; }

private:
    ui::UiServices& ui_;
    std::vector<QLineEdit*> fields_;
};

} // namespace lv::dialogs
