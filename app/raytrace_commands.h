#pragma once
// The main window's "Ray &Trace": one ray-traced picture of the model's single frame, drawn on a
// thread of its own so that the window stays live, with its steps in the status bar, shown in a
// window of the picture's size and kept for export until the next picture replaces it.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <thread>

#pragma push_macro("slots")
#undef slots
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
    // Waits for a ray trace in progress to end.
    ~RaytraceCommands() override;

    // "Ray &Trace" after the render guard: traces a deep copy of model at its time defaults and
    // its ray-tracing image size on another thread. False, starting nothing, while a ray trace
    // runs (the caller shows the busy refusal) or when the copy or the thread cannot be made.
    bool start(const model::Model& model);
    // Whether a ray trace runs now.
    bool isBusy() const { return busy_; }

    // Whether a ray-traced picture exists (the export source "Raytraced Model Image" follows it).
    bool hasRaytracedImage() const { return !image_.isNull(); }
    // The latest picture (null without one) and the PNG file holding it (empty without one).
    const QImage& image() const { return image_; }
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
    std::thread thread_;
    bool busy_ = false;
    QImage image_;
    QPointer<QLabel> view_;
};

// Status bar text once a picture is shown, and the picture window's caption.
inline constexpr const char* kRaytracedModel = "Raytraced Model";

} // namespace lv::app
