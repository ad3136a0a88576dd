#pragma once
// The main window's model commands: Add Object, the object list window, the General Objects
// Properties dialog on each of its tabs, and model files (open, save, save as, the question at
// exit). Owns the model change notifications that every window follows.
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "app/app_messages.h"
#include "app/model_events.h"
#include "app/source_cache.h"
#include "app/ui_services.h"

class QMenu;
class QWidget;

#include "dialogs/object_list_window.h"

namespace lv::render {
class TimeCurve;
}

namespace lv::app {

// The parts of the application the model commands work on.
struct ModelContext {
    model::Model& model;
    SourceCache& sources;
    render::TimeCurve& timeCurve;
    std::function<bool()> workerIdle; // whether the render worker is idle now
};

// The refusal of a command that would change the time curve while the worker renders.
inline constexpr const char* kRenderingActiveRefused = appMessage(AppMessage::RenderBusy);
inline constexpr const char* kModelFilter = "Lumovar Models (*.lvm *.LVM)";

class ModelCommands : public QObject {
    Q_OBJECT
public:
    // window is the parent of every dialog and message box; everything must outlive this.
    ModelCommands(ModelContext context, ui::UiServices& ui, QWidget* window);
    ~ModelCommands() override;

    ui::ModelEvents& events() { return events_; }

    // Model > "&Add Object": the modal Add Object dialog.
    void addObject();
    // Model > "&Objects": activates the object list window, creating it when closed.
    void showObjects();
    // Whether the object list window is open, and the window (null when closed).
    bool objectListOpen() const { return !objectList_.isNull(); }
    dialogs::ObjectListWindow* objectList() const { return objectList_.data(); }
    // X Assign, Parameters, Transform: the properties dialog on tab (PropertiesTab).
    void editObjects(int tab);

    // Appends "Open Model...", "Save Model..." and "Save Model As..." after a separator.
    void addMenuItems(QMenu* menu);
    // Opens the model file at path: the model, time curve rows, EPS and ALPHA are replaced.
    // A file that cannot be loaded gets a message naming why and changes nothing; so does a
    // running render (it may be drawing time-curve frames). Returns whether it opened.
    bool openModel(const QString& path);
    // Asks for a model file, then openModel.
    bool openModelChosen();
    // Saves to the model's file, or asks for one first. False when cancelled or failed (with
    // a message naming why).
    bool saveModel();
    bool saveModelAs();
    // At exit: asks whether to save a modified model (Yes/No/Cancel). False on Cancel or when
    // the save fails; true when unmodified.
    bool confirmClose();
    // The model's name (its file name, or "untitled model") with "*" while modified; empty for
    // a model that has neither a file nor changes.
    QString modelTitle() const;
    const QString& modelPath() const { return path_; }

signals:
    // Something the menus, the enabling rules or the title read has changed.
    void commandsChanged();

private:
    void openModelAction();
    void saveModelAction();
    void saveModelAsAction();
    bool saveTo(const QString& path);

    ModelContext context_;
    ui::UiServices& ui_;
    QWidget* window_;
    ui::ModelEvents events_;
    QPointer<dialogs::ObjectListWindow> objectList_;
    QString path_;
};

} // namespace lv::app
