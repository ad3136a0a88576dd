#include "app/model_events.h"

namespace lv::ui {

ModelEvents::ModelEvents(model::Model& model, QObject* parent) : QObject(parent), model_(model) {}

model::ModelObject* ModelEvents::addObject(model::SourceProvider& sources, const std::string& name,
                                           const std::string& functionName,
                                           const std::string& path) {
    model::ModelObject* added = model_.addObject(sources, name, functionName, path);
    if (!added) return nullptr;
    model_.setCurrentObject(added);
    emit objectAdded(QString::fromStdString(added->name));
    emit currentObjectChanged();
    finishChange();
    return added;
}

void ModelEvents::removeObjects(const std::vector<std::string>& names) {
    bool any = false;
    const model::ModelObject* current = model_.currentObject();
    bool currentGone = false;
    for (const std::string& name : names) {
        // Each name is looked up afresh: the list that named it may be older than the model.
        if (model::ModelObject* o = model_.findObject(name)) {
            currentGone = currentGone || o == current;
            model_.removeObject(o);
            any = true;
        }
    }
    if (!any) return;
    emit objectsRemoved();
    if (currentGone) emit currentObjectChanged();
    finishChange();
}

void ModelEvents::removeAll() {
    const bool hadCurrent = model_.currentObject() != nullptr;
    model_.removeAll();
    emit objectsRemoved();
    if (hadCurrent) emit currentObjectChanged();
    finishChange();
}

model::ModelObject*
ModelEvents::replaceObjects(const std::vector<std::unique_ptr<model::ModelObject>>& edited,
                            const model::ModelObject* selected) {
    model::ModelObject* current = model_.replaceObjects(edited, selected);
    emit objectsReplaced();
    emit currentObjectChanged();
    finishChange();
    return current;
}

void ModelEvents::setCurrentObject(model::ModelObject* object) {
    if (model_.currentObject() == object || !model_.setCurrentObject(object)) return;
    emit currentObjectChanged();
    emit changed();
}

void ModelEvents::replaceModel(model::Model&& replacement) {
    model_ = std::move(replacement);
    emit objectsReplaced();
    emit currentObjectChanged();
    emit settingsChanged();
    emit changed();
    setModified(false);
}

void ModelEvents::settingsEdited() {
    emit settingsChanged();
    finishChange();
}

void ModelEvents::objectsEdited() {
    emit objectsReplaced();
    emit currentObjectChanged();
    finishChange();
}

void ModelEvents::setModified(bool modified) {
    if (modified_ == modified) return;
    modified_ = modified;
    emit modifiedChanged(modified_);
}

void ModelEvents::finishChange() {
    emit changed();
    setModified(true);
}

} // namespace lv::ui
