#pragma once
// The commands that open the settings dialogs: each applies its guard, runs its dialog modally
// on parent and stores into the model (or EPS and ALPHA) only when the dialog ends with OK.
// Each returns true when something was stored.
// First, before any Qt header: Qt's keyword macros would rewrite Model::slots().
#include "model/model.h"

#include <functional>
#include <memory>
#include <vector>

#include "app/ui_services.h"
#include "dialogs/settings_rules.h"

class QWidget;

namespace lv::dialogs {

bool runModelSpace(QWidget* parent, ui::UiServices& ui, model::Model& model);
// Refuses with the information box, opening nothing, when no binding uses a time variable.
bool runTimeVariables(QWidget* parent, ui::UiServices& ui, model::Model& model);
// branch: the menu the command came from (Polygonization or Raytracing).
bool runImageSize(QWidget* parent, ui::UiServices& ui, model::Model& model,
                  SettingsTarget branch);
bool runBackgroundColor(QWidget* parent, ui::UiServices& ui, model::Model& model,
                        SettingsTarget branch);
bool runRenderQuality(QWidget* parent, model::Model& model);
// Opens on property page (PropertyPage); does nothing for a model without objects. On OK the
// model's objects are replaced by the edited copies and the object selected last is current.
bool runRenderingProperties(QWidget* parent, ui::UiServices& ui, model::Model& model,
                            int page);
// The same for callers that store the objects themselves: on OK, store receives the edited
// copies in model order and the copy selected last.
using StoreObjects = std::function<void(
    const std::vector<std::unique_ptr<model::ModelObject>>& edited, const model::ModelObject*)>;
bool runRenderingProperties(QWidget* parent, ui::UiServices& ui, const model::Model& model,
                            int page, const StoreObjects& store);
// "Set Eps" (focusAlpha false) and "Set Alpha" (true).
bool runLumovarProperties(QWidget* parent, ui::UiServices& ui, bool focusAlpha);
bool runCamera(QWidget* parent, ui::UiServices& ui, model::Model& model);

} // namespace lv::dialogs
