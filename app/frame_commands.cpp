#include "app/frame_commands.h"

#include <QCoreApplication>
#include <QStatusBar>

#include "render/gui/frame_widget.h"

namespace lv::app {

namespace {

// How often a running render is looked at for its end, and how long its last word stays.
constexpr int kPollMs = 100;
constexpr int kEndMessageMs = 5000;

} // namespace

FrameCommands::FrameCommands(render::RenderWorker& worker, render::RenderJob& job,
                             QStatusBar* status, std::function<void()> changed, QObject* parent)
    : QObject(parent), worker_(worker), job_(job), status_(status), changed_(std::move(changed)) {
    job_.createWindow(render::gui::qtWindowFactory());
    // Captions come from the worker: they reach the status bar as queued calls.
    job_.setCaptionListener([this](const std::string& caption) {
        QString text = QString::fromStdString(caption);
        QMetaObject::invokeMethod(this, [this, text] { showCaption(text); },
                                  Qt::QueuedConnection);
    });
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &FrameCommands::poll);
}

FrameCommands::~FrameCommands() {
    // The listener reaches this object: a render in progress ends before it goes.
    worker_.wait();
    job_.setCaptionListener({});
}

bool FrameCommands::renderFrame(const model::Model& model) {
    if (!render::renderSingleFrame(worker_, job_, model)) return false;
    stopAsked_ = false;
    poll_.start();
    if (changed_) changed_();
    return true;
}

void FrameCommands::toggleFrame() { job_.toggleVisible(); }

void FrameCommands::resetView() {
    if (auto* window = dynamic_cast<render::gui::QtFrameWindow*>(job_.window()))
        window->widget()->resetView();
}

void FrameCommands::stopRendering() {
    if (worker_.isIdle()) return;
    stopAsked_ = true;
    job_.requestStop();
}

void FrameCommands::showCaption(const QString& caption) {
    if (!status_) return;
    bool last = !caption.startsWith(QStringLiteral("Rendering "));
    status_->showMessage(caption, last ? kEndMessageMs : 0);
}

void FrameCommands::poll() {
    if (!worker_.isIdle()) return;
    poll_.stop();
    QCoreApplication::sendPostedEvents(this); // the render's last captions come first
    // A stopped render sets no end caption of its own.
    if (stopAsked_ && !job_.isRendered() && status_)
        status_->showMessage(QString::fromUtf8(kRenderingStopped), kEndMessageMs);
    stopAsked_ = false;
    if (changed_) changed_();
}

} // namespace lv::app
