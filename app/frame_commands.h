#pragma once
// The main window's side of the single-frame render: "Render &Frame" starting the worker on
// the single-frame job, View > "&Frame", "Reset View", "Stop Rendering", and the render's
// progress in the status bar. The main window keeps its guards and enabling rules; this object
// does what a command does once its guard let it through.
#include <QObject>
#include <QTimer>

#include <functional>

#pragma push_macro("slots")
#undef slots
#include "model/model.h"
#include "render/render_job.h"
#include "render/render_worker.h"
#pragma pop_macro("slots")

class QStatusBar;

namespace lv::app {

class FrameCommands : public QObject {
    Q_OBJECT
public:
    // Gives job (the single frame) its desktop frame window, hidden, and reports its progress
    // captions in status. changed is called on the UI thread whenever a render starts or ends,
    // so that the caller can refresh its enabling. Make it while the worker is idle.
    FrameCommands(render::RenderWorker& worker, render::RenderJob& job, QStatusBar* status,
                  std::function<void()> changed, QObject* parent = nullptr);
    // Waits for a render in progress to end, then detaches from the job.
    ~FrameCommands() override;

    // "Render &Frame" after the render guard: the job takes a copy of model and the worker
    // renders it. False when the worker is busy (the caller shows kRunRenderingRefused) or the
    // copy or the thread cannot be made.
    bool renderFrame(const model::Model& model);
    // View > "&Frame": shows the frame window when hidden, hides it when shown.
    void toggleFrame();
    // "Reset View": the camera and the model back where the render placed them.
    void resetView();
    // "Stop Rendering" (Escape): asks a running render to stop; nothing when the worker is idle.
    void stopRendering();
    // Whether "Stop Rendering" applies now: the worker runs.
    bool canStop() const { return !worker_.isIdle(); }

private:
    void showCaption(const QString& caption);
    void poll();

    render::RenderWorker& worker_;
    render::RenderJob& job_;
    QStatusBar* status_;
    std::function<void()> changed_;
    QTimer poll_; // runs while the worker does, to notice its end
    bool stopAsked_ = false;
};

// Status bar texts besides the job's own captions.
inline constexpr const char* kRenderingStopped = "Rendering stopped";

} // namespace lv::app
