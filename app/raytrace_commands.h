#pragma once
// The main window's "Ray &Trace": one ray-traced picture of the model's single frame, drawn on a
// thread of its own so that the window stays live, with its steps in the status bar, shown in a
// window of the picture's size and kept for export until the next picture replaces it.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#pragma push_macro("slots")
#undef slots
#include "export/packed_dib.h"
#include "export/raytrace.h"
#include "model/model.h"
#pragma pop_macro("slots")

#include "app/ui_services.h"

class QLabel;
class QStatusBar;
class QWidget;

namespace lv::app {

class RaytraceCommands : public QObject {
    Q_OBJECT
public:
    // Reports errors through ui with window as parent, shows the steps in status (may be null)
    // and calls changed on the UI thread whenever a ray trace starts or ends.
    RaytraceCommands(ui::UiServices& ui, QWidget* window, QStatusBar* status,
                     std::function<void()> changed, QObject* parent = nullptr);
    // Stops a ray trace in progress and waits for it to end.
    ~RaytraceCommands() override;

    // Tells whether no render runs besides (default: always true). A stop raises the process's
    // evaluation stop, which renders share; a ray trace lowers it again when it ends only while
    // this says no render runs, since a render then needs it for its own stop.
    void setRendersIdle(std::function<bool()> idle) { rendersIdle_ = std::move(idle); }

    // "Ray &Trace" after the render guard: traces a deep copy of model at its time defaults and
    // its ray-tracing image size on another thread. False, starting nothing, while a ray trace
    // runs (the caller shows the busy refusal) or when the copy or the thread cannot be made.
    bool start(const model::Model& model);
    // Whether a ray trace runs now.
    bool isBusy() const { return busy_; }
    // "Stop Rendering" for a ray trace: the sampling stops at its next point and the ray
    // tracer's processes are killed; the trace then ends with no new picture, no error box and
    // kRaytraceStopped in the status bar (finished(false)). Nothing while none runs.
    void stop();

    // Whether a ray-traced picture exists (the export source "Raytraced Model Image" follows it).
    bool hasRaytracedImage() const { return !image_.isNull(); }
    // The latest picture (null without one) and the PNG file holding it (empty without one).
    const QImage& image() const { return image_; }
    // The latest picture as the image-file writers take it; null without one.
    const exporter::PackedDib* picture() const { return picture_ ? &*picture_ : nullptr; }
    QString imagePath() const;
    // The window that shows the picture; null before the first picture.
    QWidget* imageWindow() const;

signals:
    // A ray trace ended: ok with a new picture, or not after its error box.
    void finished(bool ok);

private:
    struct Outcome {
        bool ok = false;
        std::string error;
        exporter::RaytraceResult result;
    };
    void showStep(const QString& step);
    void finish(const std::shared_ptr<Outcome>& outcome);
    void showImage();

    ui::UiServices& ui_;
    QWidget* window_;
    QStatusBar* status_;
    std::function<void()> changed_;
    QTemporaryDir dir_; // holds the picture file while this object lives
    std::function<bool()> rendersIdle_;
    std::thread thread_;
    bool busy_ = false;
    std::shared_ptr<std::atomic<bool>> stop_; // the running trace's stop request
    QImage image_;
    std::optional<exporter::PackedDib> picture_;
    QPointer<QLabel> view_;
};

// Status bar text once a picture is shown, and the picture window's caption.
inline constexpr const char* kRaytracedModel = "Raytraced Model";
// Status bar text after a stopped ray trace.
inline constexpr const char* kRaytraceStopped = "Ray tracing stopped";

} // namespace lv::app
