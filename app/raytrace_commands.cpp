#include "app/raytrace_commands.h"

#include <QLabel>
#include <QPixmap>
#include <QStatusBar>

#include <algorithm>

namespace lv::app {

namespace {

constexpr const char* kPictureFile = "raytraced.png";
constexpr int kEndMessageMs = 5000;

} // namespace

RaytraceCommands::RaytraceCommands(ui::UiServices& ui, QWidget* window, QStatusBar* status,
                                   std::function<void()> changed, QObject* parent)
    : QObject(parent), ui_(ui), window_(window), status_(status), changed_(std::move(changed)) {}

RaytraceCommands::~RaytraceCommands() {
    // The thread posts to this object: it ends first; what it posted goes with the object.
    if (thread_.joinable()) thread_.join();
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
    exporter::RaytraceRequest request;
    request.output = dir_.filePath(QString::fromUtf8(kPictureFile)).toStdString();
    request.refuseFailures = true; // a failed sample point draws no picture, as rendering
    request.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    request.progress = [this](const std::string& step) {
        QString text = QString::fromStdString(step);
        QMetaObject::invokeMethod(this, [this, text] { showStep(text); }, Qt::QueuedConnection);
    };
    busy_ = true;
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
    bool ok = outcome->ok;
    if (ok) {
        QImage picture(dir_.filePath(QString::fromUtf8(kPictureFile)));
        ok = !picture.isNull();
        if (ok) image_ = picture;
        else outcome->error = "The ray tracer's picture cannot be read";
    }
    if (status_) {
        if (ok) status_->showMessage(QString::fromUtf8(kRaytracedModel), kEndMessageMs);
        else status_->clearMessage();
    }
    if (ok) showImage();
    else ui_.message(window_, QString::fromStdString(outcome->error), ui::MsgIcon::Error);
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
