#include "dialogs/animation_row_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QThread>

#include <algorithm>

namespace lv::dialogs {
namespace {

constexpr int kCascade = 24; // pixels per cascade step
constexpr int kCascadeSteps = 8;

render::ScreenRect primaryScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return {0, 0, 1024, 768};
    const QRect r = screen->availableGeometry();
    return {r.left(), r.top(), r.width(), r.height()};
}

// Runs call on the widget's thread, later; dropped when the widget is gone.
template <class Call> void post(RowImageWidget* widget, Call call) {
    if (widget) QMetaObject::invokeMethod(widget, std::move(call), Qt::QueuedConnection);
}

} // namespace

QImage toQImage(const render::RgbaImage& image) {
    if (image.width <= 0 || image.height <= 0) return {};
    QImage bottomUp(image.pixels.data(), image.width, image.height, image.width * 4,
                    QImage::Format_RGBX8888);
    return bottomUp.mirrored(false, true); // a deep copy, top row first
}

RowImageWindow::RowImageWindow(int cascadeStep)
    : screen_(primaryScreen()), cascadeStep_(cascadeStep), widget_(new RowImageWidget) {}

RowImageWindow::~RowImageWindow() {
    if (QThread::currentThread() == widget_->thread())
        delete widget_;
    else
        widget_->deleteLater();
}

void RowImageWindow::setScreen(const render::ScreenRect& screen) {
    std::lock_guard<std::mutex> lock(mutex_);
    screen_ = screen;
}

void RowImageWindow::place(int width, int height, bool reusePosition,
                           render::ScreenPoint position) {
    render::ScreenRect r;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        r = render::clientPlace(placed_, origin_, reusePosition, position, screen_, width, height);
        if (!placed_ && !reusePosition) {
            // The first place of a row window: down and right of the previous rows' windows,
            // never past the screen's usable area.
            const int step = kCascade * (cascadeStep_ % kCascadeSteps);
            r.left = std::max(screen_.left, std::min(r.left + step, screen_.right() - width));
            r.top = std::max(screen_.top, std::min(r.top + step, screen_.bottom() - height));
        }
        width_ = width, height_ = height;
        origin_ = {r.left, r.top};
        placed_ = true;
    }
    post(widget_, [w = widget_, r] { w->setGeometry(r.left, r.top, r.width, r.height); });
}

void RowImageWindow::show() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        visible_ = true;
    }
    post(widget_, [w = widget_] { w->show(); });
}

void RowImageWindow::hide() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        visible_ = false;
    }
    post(widget_, [w = widget_] { w->hide(); });
}

bool RowImageWindow::isVisible() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return visible_;
}

void RowImageWindow::setCaption(const std::string& caption) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        caption_ = caption;
    }
    post(widget_, [w = widget_, c = QString::fromStdString(caption)] { w->setWindowTitle(c); });
}

std::string RowImageWindow::caption() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return caption_;
}

render::ScreenPoint RowImageWindow::clientOrigin() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return origin_;
}

int RowImageWindow::clientWidth() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return width_;
}

int RowImageWindow::clientHeight() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return height_;
}

bool RowImageWindow::drawScene(const render::SceneView& scene) {
    auto image = std::make_shared<render::RgbaImage>();
    std::string error;
    if (!render::renderSceneOffscreen(scene, clientWidth(), clientHeight(), *image, error))
        return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        image_ = image;
    }
    post(widget_, [w = widget_, image] { w->setImage(toQImage(*image)); });
    return true;
}

std::optional<render::RgbaImage> RowImageWindow::capture(const render::SceneView& scene) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (image_ && image_->width == width_ && image_->height == height_) return *image_;
    }
    render::RgbaImage image;
    std::string error;
    if (!render::renderSceneOffscreen(scene, clientWidth(), clientHeight(), image, error))
        return std::nullopt;
    return image;
}

render::WindowFactory rowWindowFactory() {
    return [](render::RenderJob& job) -> std::unique_ptr<render::FrameWindow> {
        return std::make_unique<RowImageWindow>(std::max(0, job.frameIndex() - 1));
    };
}

RowImageWidget::RowImageWidget() : QWidget(nullptr) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RowImageWidget::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

void RowImageWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!image_.isNull()) painter.drawImage(0, 0, image_);
}

void RowImageWidget::closeEvent(QCloseEvent* event) { event->ignore(); }

} // namespace lv::dialogs
