#pragma once
// A render job: one picture of its own copy of the model for one set of time values, with its
// window and scene, its state and its progress captions. Frame index 0 is the single frame
// (rendered at the model's time defaults); k > 0 is the frame of the k-th time-curve row.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "export/packed_dib.h"
#include "lang/stop_token.h"
#include "model/model.h"
#include "render/frame_window.h"
#include "render/render_worker.h"
#include "render/scene.h"

namespace lv::render {

enum class JobState : int { Rendered = 0, NotRendered = 1, Rendering = 2 };

class RenderJob;

// Makes the window of a job; an empty factory makes a HeadlessWindow.
using WindowFactory = std::function<std::unique_ptr<FrameWindow>(RenderJob& job)>;
// Receives every caption the job sets, on the thread that sets it (the worker during a render):
// a GUI queues it to its own thread.
using CaptionListener = std::function<void(const std::string& caption)>;

class RenderJob {
public:
    RenderJob(int frameIndex, double t1, double t2, double t3, bool interactive);
    ~RenderJob();
    RenderJob(const RenderJob&) = delete;
    RenderJob& operator=(const RenderJob&) = delete;

    // Sets and returns the total steps: the sum of the Z grid counts of the model copy's
    // objects (one step per polygonized slice); 0 without a model copy.
    int countSteps();
    // The caption of a rendered single frame: "Polygonized Model".
    std::string title() const;
    // Draws the rendered scene once more and captures it as a 32-bit bottom-up packed bitmap
    // of the window's client size. Nothing when the job is not rendered, is busy, or has no
    // window or the drawing fails.
    std::optional<exporter::PackedDib> captureImage();
    // Makes the job's window (with factory, or a headless one) and its empty scene, replacing
    // any previous ones. Returns whether the window was made.
    bool createWindow(const WindowFactory& factory = {});
    // Releases scene and window and the model copy: NotRendered, not busy.
    void destroyWindow();
    // The render sequence (on the worker thread): progress from "Rendering 0%", prepare the
    // frame, place the window at the model's polygonization image size, build and draw the
    // scene, release the frame, caption "Polygonized Model" or "Frame: k of n". The job ends
    // Rendered even when the scene cannot be built or drawn. Without a model copy nothing
    // happens and the job keeps its state. Makes a headless window when it has none. The scene
    // lock is held from the scene's reset to the end of the first draw. A stop request ends
    // the build after the current slice: the scene is emptied, the window hidden, the job
    // NotRendered, and no end caption is set.
    void render(bool reusePosition = false, ScreenPoint position = {});
    // Asks a render in progress to stop; any thread. This raises the process-wide evaluation
    // stop (lang/stop_token.h), so every evaluation fails at once and the build ends after the
    // current slice. The request is lowered when a render ends and by clearStopRequest.
    void requestStop() { lang::evaluationStop().requestStop(); }
    bool stopRequested() const { return lang::evaluationStop().stopRequested(); }
    // Lowers a stop request; called before a worker starts a render.
    void clearStopRequest() { lang::evaluationStop().reset(); }
    // The lock of the scene: the worker holds it while it resets and builds the scene. Other
    // threads only try it (and skip their drawing or turning when it is taken), so they never
    // wait for a render.
    std::unique_lock<std::mutex> tryLockScene() {
        return std::unique_lock<std::mutex>(sceneMutex_, std::try_to_lock);
    }
    // Shows the window, first moving its client area to position when reusePosition is set.
    void showAt(bool reusePosition, ScreenPoint position);
    // Replaces the model copy by a fresh deep copy of model. False (no copy held) when the copy
    // cannot be made; a later render is then skipped.
    bool setModel(const model::Model& model);

    bool isRendered() const { return state() == JobState::Rendered; }
    bool isBusy() const { return busy_.load(); }
    JobState state() const { return state_.load(); }
    // True when the job's time values equal t1, t2, t3 exactly.
    bool hasTimeValues(double t1, double t2, double t3) const;

    void show();
    void hide();
    bool isVisible() const;
    void toggleVisible();

    int frameIndex() const { return frameIndex_; }
    bool isInteractive() const { return interactive_; }
    double t1() const { return t1_; }
    double t2() const { return t2_; }
    double t3() const { return t3_; }
    const model::Model* modelCopy() const { return model_.get(); }
    SceneView* scene() { return scene_.get(); }
    FrameWindow* window() { return window_.get(); }

    void setCaptionListener(CaptionListener listener) { captionListener_ = std::move(listener); }
    // Where "Frame: k of n" takes n from (the time curve's row count when the render ends).
    void setRowCountSource(std::function<int()> rowCount) { rowCount_ = std::move(rowCount); }
    // The last caption set, and the progress counters (the worker writes them while another
    // thread may read them).
    std::string caption() const;
    int stepsDone() const { return stepsDone_; }
    int totalSteps() const { return totalSteps_; }
    int lastPercent() const { return lastPercent_; }
    // How long the last render spent polygonizing and drawing, in seconds.
    double buildSeconds() const { return buildSeconds_; }
    double drawSeconds() const { return drawSeconds_; }

private:
    void setCaption(const std::string& caption);
    void addStep();
    void updatePercent();
    void buildAndDraw();

    int frameIndex_;
    double t1_, t2_, t3_;
    bool interactive_;
    std::unique_ptr<model::Model> model_;
    std::unique_ptr<FrameWindow> window_;
    std::unique_ptr<SceneView> scene_;
    std::atomic<JobState> state_{JobState::NotRendered};
    std::atomic<bool> busy_{false};
    std::mutex sceneMutex_;
    std::atomic<int> stepsDone_{0};
    std::atomic<int> totalSteps_{0};
    std::atomic<int> lastPercent_{-1};
    std::atomic<double> buildSeconds_{0.0};
    std::atomic<double> drawSeconds_{0.0};
    mutable std::mutex captionMutex_;
    std::string caption_;
    CaptionListener captionListener_;
    std::function<int()> rowCount_;
};

// The refusal of a render while the worker runs.
inline constexpr const char* kRunRenderingRefused =
    "Run rendering is disallowed when the rendering proccess active";

// "Render Frame": unless worker is busy (false, nothing changes; the caller shows
// kRunRenderingRefused), job takes a fresh copy of live, forgets any old stop request, and
// worker starts rendering it at the window's current place. False also when the copy or the
// thread cannot be made.
bool renderSingleFrame(RenderWorker& worker, RenderJob& job, const model::Model& live);

// "Rendering N%" with N the integer percentage of done out of total (100 when total is not
// positive, at most 100).
int progressPercent(long long done, long long total);

} // namespace lv::render
