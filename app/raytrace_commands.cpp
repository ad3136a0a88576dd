#include "app/raytrace_commands.h"

#include <QLabel>
#include <QPixmap>
#include <QStatusBar>

#include <algorithm>

#include "lang/stop_token.h"
#include "model/grid_sampler.h" // model.h came first, through the header

namespace lv::app {

namespace {

constexpr const char* kPictureFile = "raytraced.png";
constexpr int kEndMessageMs = 5000;

} // namespace

RaytraceCommands::RaytraceCommands(ui::UiServices& ui, QWidget* window, QStatusBar* status,
                                   std::function<void()> changed, QObject* parent)
    : QObject(parent), ui_(ui), window_(window), status_(status), changed_(std::move(changed)) {}

RaytraceCommands::~RaytraceCommands() {
    // The thread posts to this object: it ends first, at once; what it posted goes with the
    // object.
    const bool stopping = busy_;
    stop();
    if (thread_.joinable()) thread_.join();
    if (stopping && (!rendersIdle_ || rendersIdle_())) lang::evaluationStop().reset();
    delete view_.data();
}

bool RaytraceCommands::start(const model::Model& model) {
    if (busy_) return false;
    if (!dir_.isValid()) {
        ui_.message(window_, QStringLiteral("Cannot make a temporary folder for the picture"),
                    ui::MsgIcon::Error);
        return false;
    }
    std::shared_ptr<model::Model> copy;
    try {
        copy = model.copyModel();
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (thread_.joinable()) thread_.join(); // the previous trace has already delivered its end
    // A stop left raised by an earlier ray trace would fail every sample point at once.
    if (!rendersIdle_ || rendersIdle_()) lang::evaluationStop().reset();
    auto stopFlag = std::make_shared<std::atomic<bool>>(false);
    exporter::RaytraceRequest request;
    request.output = dir_.filePath(QString::fromUtf8(kPictureFile)).toStdString();
    request.refuseFailures = true; // a failed sample point draws no picture, as rendering
    request.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    request.stopRequested = [stopFlag] { return stopFlag->load(); };
    request.prune = model::samplingPrunes();
    request.progress = [this](const std::string& step) {
        QString text = QString::fromStdString(step);
        QMetaObject::invokeMethod(this, [this, text] { showStep(text); }, Qt::QueuedConnection);
    };
    busy_ = true;
    stop_ = stopFlag;
    try {
        thread_ = std::thread([this, copy, request] {
            auto outcome = std::make_shared<Outcome>();
            try {
                outcome->ok = exporter::raytraceModel(*copy, request, outcome->result,
                                                      outcome->error);
            } catch (const std::exception& e) {
                outcome->ok = false;
                outcome->error = e.what();
            }
            QMetaObject::invokeMethod(this, [this, outcome] { finish(outcome); },
                                      Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        busy_ = false;
        return false;
    }
    if (changed_) changed_();
    return true;
}

void RaytraceCommands::stop() {
    if (!busy_ || !stop_) return;
    stop_->store(true);
    lang::evaluationStop().requestStop(); // ends the sampling at its next point
}

QString RaytraceCommands::imagePath() const {
    return hasRaytracedImage() ? dir_.filePath(QString::fromUtf8(kPictureFile)) : QString();
}

QWidget* RaytraceCommands::imageWindow() const { return view_.data(); }

void RaytraceCommands::showStep(const QString& step) {
    if (status_ && busy_) status_->showMessage(step);
}

void RaytraceCommands::finish(const std::shared_ptr<Outcome>& outcome) {
    if (thread_.joinable()) thread_.join();
    busy_ = false;
    const bool stopped = outcome->result.stopped;
    if (stopped && (!rendersIdle_ || rendersIdle_())) lang::evaluationStop().reset();
    bool ok = outcome->ok;
    if (ok) {
        QImage picture(dir_.filePath(QString::fromUtf8(kPictureFile)));
        std::optional<exporter::PackedDib> packed;
        if (!picture.isNull()) {
            const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
            packed = exporter::PackedDib::fromPixels(
                rgba.width(), rgba.height(),
                {rgba.constBits(), static_cast<std::size_t>(rgba.sizeInBytes())},
                exporter::RowOrder::TopDown, exporter::ChannelOrder::Rgba);
        }
        ok = packed.has_value();
        if (ok) {
            image_ = picture;
            picture_ = std::move(packed);
        } else {
            outcome->error = "The ray tracer's picture cannot be read";
        }
    }
    if (status_) {
        if (ok) status_->showMessage(QString::fromUtf8(kRaytracedModel), kEndMessageMs);
        else if (stopped) status_->showMessage(QString::fromUtf8(kRaytraceStopped), kEndMessageMs);
        else status_->clearMessage();
    }
    if (ok) showImage();
    else if (!stopped)
        ui_.message(window_, QString::fromStdString(outcome->error), ui::MsgIcon::Error);
    if (changed_) changed_();
    emit finished(ok);
}

void RaytraceCommands::showImage() {
    if (!view_) {
        // A window of its own that closes with the main window and stays over it.
        view_ = new QLabel(window_, Qt::Window);
        view_->setWindowTitle(QString::fromUtf8(kRaytracedModel));
        view_->setAccessibleName(QString::fromUtf8(kRaytracedModel));
        view_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    view_->setPixmap(QPixmap::fromImage(image_));
    view_->setFixedSize(image_.size());
    view_->show();
    view_->raise();
}

} // namespace lv::app
