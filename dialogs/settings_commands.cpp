#include "dialogs/settings_commands.h"

#include "dialogs/settings_dialogs.h"
#include "dialogs/settings_properties_dialog.h"

namespace lv::dialogs {

bool runModelSpace(QWidget* parent, ui::UiServices& ui, model::Model& model) {
    ModelSpaceDialog dialog(ui, model.settings.defaultBox, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    model.settings.defaultBox = dialog.box();
    return true;
}

bool runTimeVariables(QWidget* parent, ui::UiServices& ui, model::Model& model) {
    const model::TimeUsage usage = model.timeUsage();
    if (auto refusal = timeVariablesGuard(usage)) {
        showNotice(ui, parent, *refusal);
        return false;
    }
    TimeVariablesDialog dialog(ui, model.settings.timeDefaults, usage, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    model.settings.timeDefaults = dialog.values();
    return true;
}

bool runImageSize(QWidget* parent, ui::UiServices& ui, model::Model& model,
                  SettingsTarget branch) {
    ImageSizeDialog dialog(ui, model.settings, branch, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    model.settings.polyImage = dialog.settings().polyImage;
    model.settings.rayImage = dialog.settings().rayImage;
    return true;
}

bool runBackgroundColor(QWidget* parent, ui::UiServices& ui, model::Model& model,
                        SettingsTarget branch) {
    BackgroundColorDialog dialog(ui, model.settings, branch, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    model.settings.polyBackground = dialog.settings().polyBackground;
    model.settings.rayBackground = dialog.settings().rayBackground;
    return true;
}

bool runRenderQuality(QWidget* parent, model::Model& model) {
    RenderQualityDialog dialog(model.settings, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    storeQuality(qualityOf(dialog.settings()), model.settings);
    return true;
}

bool runRenderingProperties(QWidget* parent, ui::UiServices& ui, model::Model& model,
                            int page) {
    return runRenderingProperties(
        parent, ui, model, page, [&model](const auto& edited, const model::ModelObject* selected) {
            model.replaceObjects(edited, selected);
        });
}

bool runRenderingProperties(QWidget* parent, ui::UiServices& ui, const model::Model& model,
                            int page, const StoreObjects& store) {
    if (model.count() == 0) return false;
    RenderingPropertiesDialog dialog(ui, model, page, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    const RenderingPropertiesSession& session = dialog.session();
    store(session.copies(), &session.selectedCopy());
    return true;
}

bool runLumovarProperties(QWidget* parent, ui::UiServices& ui, bool focusAlpha) {
    LumovarPropertiesDialog dialog(ui, focusAlpha, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool runCamera(QWidget* parent, ui::UiServices& ui, model::Model& model) {
    CameraDialog dialog(ui, model, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    model.settings.cameraPosition = dialog.settings().cameraPosition;
    model.settings.lookAt = dialog.settings().lookAt;
    model.settings.sky = dialog.settings().sky;
    return true;
}

} // namespace lv::dialogs
