#include "render/gui/frame_widget.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QScreen>
#include <QSurfaceFormat>
#include <QThread>
#include <QWheelEvent>

#include <cstring>

#include "render/frame_placement.h"
#include "render/gl_context.h"
#include "render/scene_renderer.h"

namespace lv::render::gui {

namespace {

// One wheel notch (120 eighths of a degree) zooms like a drag over a twentieth of the height.
constexpr int kWheelNotch = 120;
constexpr int kNotchesPerHeight = 20;
// An arrow key turns like a drag over a 24th of the window (a quarter of a radian).
constexpr int kKeySteps = 24;

Qt::WindowFlags frameFlags(const RenderJob& job) {
    // Animation frames have no close box.
    if (job.frameIndex() > 0)
        return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    return Qt::Window;
}

} // namespace

void prepareOpenGl() {
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "xcb_egl");
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setDepthBufferSize(24);
    QSurfaceFormat::setDefaultFormat(format);
}

// ---- QtFrameWindow: called from any thread ------------------------------------------------

QtFrameWindow::QtFrameWindow(RenderJob& job) : widget_(new FrameWidget(job, *this)) {}

QtFrameWindow::~QtFrameWindow() {
    widget_->window_ = nullptr;
    if (QThread::currentThread() == widget_->thread())
        delete widget_;
    else
        widget_->deleteLater();
}

void QtFrameWindow::update(const std::function<void(State&)>& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    change(state_);
}

void QtFrameWindow::place(int width, int height, bool reusePosition, ScreenPoint position) {
    update([&](State& s) {
        s.width = width;
        s.height = height;
        if (reusePosition) s.origin = position;
    });
    FrameWidget* w = widget_;
    QMetaObject::invokeMethod(
        w, [=] { w->applyPlacement(width, height, reusePosition, position); },
        Qt::QueuedConnection);
}

void QtFrameWindow::show() {
    update([](State& s) { s.visible = true; });
    FrameWidget* w = widget_;
    QMetaObject::invokeMethod(
        w,
        [w] {
            w->ensureView();
            w->show();
        },
        Qt::QueuedConnection);
}

void QtFrameWindow::hide() {
    update([](State& s) { s.visible = false; });
    FrameWidget* w = widget_;
    QMetaObject::invokeMethod(w, [w] { w->hide(); }, Qt::QueuedConnection);
}

bool QtFrameWindow::isVisible() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.visible;
}

void QtFrameWindow::setCaption(const std::string& caption) {
    update([&](State& s) { s.caption = caption; });
    FrameWidget* w = widget_;
    QString title = QString::fromStdString(caption);
    QMetaObject::invokeMethod(w, [w, title] { w->setWindowTitle(title); }, Qt::QueuedConnection);
}

std::string QtFrameWindow::caption() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.caption;
}

ScreenPoint QtFrameWindow::clientOrigin() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.origin;
}

int QtFrameWindow::clientWidth() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.width;
}

int QtFrameWindow::clientHeight() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.height;
}

bool QtFrameWindow::drawScene(const SceneView&) {
    FrameWidget* w = widget_;
    QMetaObject::invokeMethod(w, [w] { w->refresh(); }, Qt::QueuedConnection);
    return true;
}

std::optional<RgbaImage> QtFrameWindow::capture(const SceneView&) {
    if (QThread::currentThread() != widget_->thread()) return std::nullopt;
    int width = clientWidth(), height = clientHeight();
    if (!isPictureSize(width, height)) return std::nullopt;
    return widget_->captureScene(width, height);
}

WindowFactory qtWindowFactory() {
    return [](RenderJob& job) { return std::make_unique<QtFrameWindow>(job); };
}

// ---- GlView: on the UI thread -------------------------------------------------------------

bool qtHasOpenGl() {
    static const bool has = [] {
        QOpenGLContext probe;
        return probe.create();
    }();
    return has;
}

GlView::GlView(RenderJob& job, QWidget* parent) : QOpenGLWidget(parent), job_(job) {
    // The frame window handles the mouse and the keyboard.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

GlView::~GlView() {
    releaseRenderer();
    // The base class destroys the context, which must not call back into this part.
    if (context()) disconnect(context(), nullptr, this, nullptr);
}

void GlView::releaseRenderer() {
    if (!renderer_) return;
    makeCurrent();
    renderer_.reset();
    doneCurrent();
}

void GlView::initializeGL() {
    renderer_ = std::make_unique<SceneRenderer>();
    if (!renderer_->initialize(error_)) renderer_.reset();
    // The renderer's program belongs to this context: free it before the context goes.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GlView::releaseRenderer,
            Qt::UniqueConnection);
}

void GlView::drawScene(int width, int height) {
    std::unique_lock<std::mutex> lock = job_.tryLockScene();
    SceneView* scene = job_.scene();
    if (!renderer_ || !lock.owns_lock() || !scene) {
        // The worker is building the scene (or there is nothing to draw): show black.
        QOpenGLFunctions* f = context()->functions();
        f->glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        f->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        if (!renderer_ && error_.empty()) error_ = "no OpenGL renderer";
        return;
    }
    renderer_->draw(*scene, width, height);
}

void GlView::paintGL() {
    qreal ratio = devicePixelRatioF();
    drawScene(qRound(width() * ratio), qRound(height() * ratio));
}

std::optional<RgbaImage> GlView::captureScene(int width, int height) {
    if (!renderer_) grabFramebuffer(); // makes the context and the renderer on first use
    if (!renderer_ || !context()) return std::nullopt;
    std::unique_lock<std::mutex> probe = job_.tryLockScene();
    if (!probe.owns_lock()) return std::nullopt;
    probe.unlock();
    makeCurrent();
    std::optional<RgbaImage> image;
    {
        QOpenGLFramebufferObject target(width, height, QOpenGLFramebufferObject::Depth);
        if (target.isValid() && target.bind()) {
            QOpenGLFunctions* f = context()->functions();
            f->glViewport(0, 0, width, height);
            drawScene(width, height);
            f->glFinish();
            image.emplace();
            image->width = width;
            image->height = height;
            image->pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
            f->glPixelStorei(GL_PACK_ALIGNMENT, 1);
            f->glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image->pixels.data());
            target.release();
        }
    }
    doneCurrent();
    return image;
}

// ---- FrameWidget: on the UI thread ---------------------------------------------------------

FrameWidget::FrameWidget(RenderJob& job, QtFrameWindow& window)
    : QWidget(nullptr, frameFlags(job)), job_(job), window_(&window) {
    // A visible frame window does not keep the application running once the main window closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FrameWidget::ensureView() {
    if (viewChosen_) return;
    viewChosen_ = true;
    // The headless context comes up with the first window, so that Mesa's driver stays loaded
    // for the whole run whatever Qt does with its own display (and captures of the animation
    // frames find it ready).
    std::string error;
    headlessGlAvailable(error);
    if (!qtHasOpenGl()) return;
    gl_ = new GlView(job_, this);
    gl_->setGeometry(rect());
}

void FrameWidget::showEvent(QShowEvent* event) {
    ensureView();
    QWidget::showEvent(event);
}

FrameWidget::~FrameWidget() = default;

const std::string& FrameWidget::lastError() const {
    static const std::string none;
    return gl_ ? gl_->lastError() : none;
}

void FrameWidget::refresh() {
    if (gl_)
        gl_->update();
    else
        update();
}

QImage FrameWidget::grabPicture() {
    ensureView();
    if (gl_) return gl_->grabFramebuffer();
    qreal ratio = devicePixelRatioF();
    return headlessPicture(qRound(width() * ratio), qRound(height() * ratio));
}

std::optional<RgbaImage> FrameWidget::captureScene(int width, int height) {
    ensureView();
    if (gl_) return gl_->captureScene(width, height);
    std::unique_lock<std::mutex> lock = job_.tryLockScene();
    SceneView* scene = job_.scene();
    if (!lock.owns_lock() || !scene) return std::nullopt;
    RgbaImage image;
    std::string error;
    if (!renderSceneOffscreen(*scene, width, height, image, error)) return std::nullopt;
    return image;
}

QImage FrameWidget::headlessPicture(int width, int height) {
    QImage picture(std::max(width, 1), std::max(height, 1), QImage::Format_RGBA8888);
    picture.fill(Qt::black);
    std::optional<RgbaImage> image = captureScene(width, height);
    if (!image) return picture;
    for (int y = 0; y < image->height; ++y)
        std::memcpy(picture.scanLine(y), image->at(0, y), static_cast<std::size_t>(width) * 4);
    return picture;
}

void FrameWidget::paintEvent(QPaintEvent*) {
    if (gl_) return;
    QPainter painter(this);
    qreal ratio = devicePixelRatioF();
    QImage picture = headlessPicture(qRound(width() * ratio), qRound(height() * ratio));
    picture.setDevicePixelRatio(ratio);
    painter.drawImage(0, 0, picture);
}

void FrameWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (gl_) gl_->setGeometry(rect());
}

void FrameWidget::applyPlacement(int width, int height, bool reusePosition,
                                 ScreenPoint position) {
    leftDrag_ = rightDrag_ = false;
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    QRect usable = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // Keep the caption and the borders on the screen too, once the window manager told them.
    QRect outer = frameGeometry(), inner = geometry();
    int marginLeft = 0, marginTop = 0, marginRight = 0, marginBottom = 0;
    if (placed_ && outer != inner) {
        marginLeft = inner.left() - outer.left();
        marginTop = inner.top() - outer.top();
        marginRight = outer.right() - inner.right();
        marginBottom = outer.bottom() - inner.bottom();
    }
    ScreenRect area{usable.left() + marginLeft, usable.top() + marginTop,
                    usable.width() - marginLeft - marginRight,
                    usable.height() - marginTop - marginBottom};
    ScreenRect r = clientPlace(placed_, {inner.x(), inner.y()}, reusePosition, position, area,
                               width, height);
    setFixedSize(width, height);
    setGeometry(r.left, r.top, width, height);
    placed_ = true;
    if (window_) window_->update([&](QtFrameWindow::State& s) { s.origin = {r.left, r.top}; });
}

void FrameWidget::resetView() {
    turnScene([](SceneView& scene) { scene.resetView(); });
}

bool FrameWidget::canTurn() {
    if (!job_.isInteractive() || job_.isBusy()) return false;
    std::unique_lock<std::mutex> lock = job_.tryLockScene();
    return lock.owns_lock() && job_.scene() && job_.scene()->isCreated();
}

template <class Turn> void FrameWidget::turnScene(Turn turn) {
    if (!job_.isInteractive() || job_.isBusy()) return;
    {
        std::unique_lock<std::mutex> lock = job_.tryLockScene();
        SceneView* scene = job_.scene();
        if (!lock.owns_lock() || !scene || !scene->isCreated()) return;
        turn(*scene);
    }
    refresh();
}

void FrameWidget::closeEvent(QCloseEvent* event) {
    // The window is never destroyed by closing: the single frame hides, animation frames stay.
    event->ignore();
    if (job_.frameIndex() > 0) return;
    if (window_) window_->update([](QtFrameWindow::State& s) { s.visible = false; });
    hide();
}

void FrameWidget::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    QPoint origin = geometry().topLeft();
    if (window_ && placed_)
        window_->update([&](QtFrameWindow::State& s) { s.origin = {origin.x(), origin.y()}; });
}

void FrameWidget::hideEvent(QHideEvent* event) {
    leftDrag_ = rightDrag_ = false;
    QWidget::hideEvent(event);
}

void FrameWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && !rightDrag_) {
        leftDrag_ = true;
        last_ = event->position().toPoint();
    } else if (event->button() == Qt::RightButton && !leftDrag_) {
        rightDrag_ = true;
        last_ = event->position().toPoint();
    }
}

void FrameWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) leftDrag_ = false;
    if (event->button() == Qt::RightButton) rightDrag_ = false;
}

void FrameWidget::mouseMoveEvent(QMouseEvent* event) {
    QPoint at = event->position().toPoint();
    int dx = at.x() - last_.x(), dy = at.y() - last_.y();
    int w = width(), h = height();
    if ((event->buttons() & Qt::LeftButton) && leftDrag_)
        turnScene([&](SceneView& scene) { scene.rotateByMouse(dx, dy, w, h); });
    if ((event->buttons() & Qt::RightButton) && rightDrag_)
        turnScene([&](SceneView& scene) { scene.zoomByMouse(dy, h); });
    last_ = at;
}

void FrameWidget::wheelEvent(QWheelEvent* event) {
    // Turning the wheel away from the user brings the camera closer.
    int h = height();
    int dy = -event->angleDelta().y() * h / (kWheelNotch * kNotchesPerHeight);
    if (dy != 0) turnScene([&](SceneView& scene) { scene.zoomByMouse(dy, h); });
    event->accept();
}

void FrameWidget::keyPressEvent(QKeyEvent* event) {
    int w = width(), h = height();
    int dx = 0, dy = 0, zoom = 0;
    switch (event->key()) {
    case Qt::Key_Left: dx = -w / kKeySteps; break;
    case Qt::Key_Right: dx = w / kKeySteps; break;
    case Qt::Key_Up: dy = -h / kKeySteps; break;
    case Qt::Key_Down: dy = h / kKeySteps; break;
    case Qt::Key_PageUp: zoom = -h / kNotchesPerHeight; break;
    case Qt::Key_PageDown: zoom = h / kNotchesPerHeight; break;
    case Qt::Key_Home: resetView(); return;
    case Qt::Key_Escape:
        if (job_.isBusy()) job_.requestStop();
        return;
    default: QWidget::keyPressEvent(event); return;
    }
    if (dx != 0 || dy != 0)
        turnScene([&](SceneView& scene) { scene.rotateByMouse(dx, dy, w, h); });
    if (zoom != 0) turnScene([&](SceneView& scene) { scene.zoomByMouse(zoom, h); });
}

} // namespace lv::render::gui
