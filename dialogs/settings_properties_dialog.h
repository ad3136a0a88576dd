#pragma once
// "Objects rendering properties" and "Camera properties": the per-object rendering settings
// of every object, and the camera of the model.
// First, before any Qt header: Qt's keyword macros would rewrite Model::slots().
#include "model/model.h"

#include <array>
#include <vector>

#include "app/ui_services.h"
#include "dialogs/settings_camera.h"
#include "dialogs/settings_object_properties.h"
#include "dialogs/settings_widgets.h"
#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace lv::dialogs {

// Pages of properties for every object; "Apply" stores the visible page into the selected
// object's copy. After OK the caller calls session().finish(model).
class RenderingPropertiesDialog : public QDialog {
public:
    RenderingPropertiesDialog(ui::UiServices& ui, const model::Model& model, int page,
                           QWidget* parent = nullptr);
    const RenderingPropertiesSession& session() const { return session_; }

    // What the user can do, as the controls do it.
    void chooseObject(int entry);
    void choosePage(int page);
    void applyPage();
    void chooseCustom(bool custom);
    void chooseAutoGradient(bool automatic);
    void selectColour();

    QComboBox* objects() const { return objects_; }
    QComboBox* pages() const { return pages_; }
    QStackedWidget* stack() const { return stack_; }
    QRadioButton* customRadio() const { return custom_; }
    QRadioButton* defaultRadio() const { return default_; }
    QLineEdit* boxField(int i) const { return box_[static_cast<std::size_t>(i)]; }
    QLineEdit* gridField(int i) const { return grid_[static_cast<std::size_t>(i)]; }
    QCheckBox* autoGradient() const { return autoGradient_; }
    QLineEdit* maxGradientField() const { return maxGradient_; }
    QLabel* maxGradientLabel() const { return maxGradientLabel_; }
    QLineEdit* accuracyField() const { return accuracy_; }
    // The swatch and "also" check box of the visible colour page (polygonization or ray).
    ColourSwatch* swatch() const;
    QCheckBox* alsoOther() const;
    QPushButton* applyButton() const { return applyButton_; }

private:
    QWidget* makeBoxPage();
    QWidget* makeGridsPage();
    QWidget* makeColourPage(int which, const char* alsoText);
    QWidget* makeMaxGradientPage();
    QWidget* makeAccuracyPage();
    void loadPage();
    void setBoxEnabled(bool enabled);
    PropertyFields fieldsShown() const;
    std::vector<QLineEdit*> pageFields() const;

    ui::UiServices& ui_;
    RenderingPropertiesSession session_;
    QComboBox* objects_ = nullptr;
    QComboBox* pages_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QRadioButton* default_ = nullptr;
    QRadioButton* custom_ = nullptr;
    std::array<QLineEdit*, 6> box_{};
    std::array<QLineEdit*, 3> grid_{};
    std::array<ColourSwatch*, 2> swatches_{}; // polygonization, ray tracing
    std::array<QCheckBox*, 2> also_{};
    QCheckBox* autoGradient_ = nullptr;
    QLineEdit* maxGradient_ = nullptr;
    QLabel* maxGradientLabel_ = nullptr;
    QLineEdit* accuracy_ = nullptr;
    QPushButton* applyButton_ = nullptr;
};

// "Camera properties": position, look-at point and sky vector, with "View All".
class CameraDialog : public QDialog {
public:
    CameraDialog(ui::UiServices& ui, const model::Model& model, QWidget* parent = nullptr);
    void accept() override;
    // The "View All" button.
    void viewAll();
    const model::ModelSettings& settings() const { return settings_; }
    QLineEdit* field(int i) const { return fields_[static_cast<std::size_t>(i)]; }

private:
    ui::UiServices& ui_;
    const model::Model& model_;
    model::ModelSettings settings_;
    std::vector<QLineEdit*> fields_;
};

} // namespace lv::dialogs
