#pragma once
// The application model behind one QObject: every change that GUI code makes to the model's
// objects goes through ModelEvents, which then tells every open window (object list, menus,
// title) what changed. Settings dialogs that change model-wide values call settingsEdited().
#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "model/model.h"

namespace lv::ui {

class ModelEvents : public QObject {
    Q_OBJECT
public:
    // model must outlive this object.
    explicit ModelEvents(model::Model& model, QObject* parent = nullptr);

    model::Model& model() { return model_; }
    const model::Model& model() const { return model_; }

    // model::Model::addObject; a new object becomes current. Null when adding failed (the
    // model is unchanged then and nothing is signalled).
    model::ModelObject* addObject(model::SourceProvider& sources, const std::string& name,
                                  const std::string& functionName, const std::string& path);
    // Removes the objects with these names (names no longer in the model are skipped).
    void removeObjects(const std::vector<std::string>& names);
    void removeAll();
    // model::Model::replaceObjects: the model's objects become copies of edited, in order.
    model::ModelObject*
    replaceObjects(const std::vector<std::unique_ptr<model::ModelObject>>& edited,
                   const model::ModelObject* selected);
    // Makes object (one of the model's, or null) current.
    void setCurrentObject(model::ModelObject* object);
    // Replaces the whole model (objects and settings), as opening a model file does; the
    // result counts as unmodified.
    void replaceModel(model::Model&& replacement);
    // For dialogs that stored model-wide settings.
    void settingsEdited();
    // For code that replaced the model's objects itself (a dialog storing its edited copies).
    void objectsEdited();

    // Whether the model changed since it was last opened or saved.
    bool isModified() const { return modified_; }
    void setModified(bool modified);

signals:
    void objectAdded(const QString& name);
    void objectsRemoved();
    void objectsReplaced();
    void currentObjectChanged();
    void settingsChanged();
    // After every change above, once: the simplest signal for views that refill themselves.
    void changed();
    void modifiedChanged(bool modified);

private:
    void finishChange();

    model::Model& model_;
    bool modified_ = false;
};

} // namespace lv::ui
