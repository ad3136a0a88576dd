#pragma once
// The desktop frame window of a render job: a top-level window whose client area is a
// QOpenGLWidget drawing the job's scene with the same SceneRenderer as the headless renderer,
// turned with the left mouse button and zoomed with the right one or the wheel. Where Qt has
// no OpenGL (the offscreen platform, a display without GLX or EGL) the window shows the
// headless renderer's picture instead, or black when there is none.
//
// Threads: the render worker calls the job's FrameWindow (QtFrameWindow) from its own thread.
// QtFrameWindow keeps what was last asked of it (size, client origin, visibility, caption) under
// a mutex where any thread reads it, and passes every request on to the widget as a queued call
// with the widget as context, so the worker never touches or waits for a widget (a deleted
// widget drops the calls). The widget reads the scene only under the job's scene lock, which it
// only tries: a paint that cannot take it shows black, a drag that cannot take it does nothing.
#include <QImage>
#include <QOpenGLWidget>
#include <QPoint>
#include <QWidget>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

// The model names a member slots(), which Qt's keyword macro of that name would rewrite: the
// core headers are read with the macro set aside.
#pragma push_macro("slots")
#undef slots
#include "render/frame_window.h"
#include "render/render_job.h"
#pragma pop_macro("slots")

namespace lv::render {
class SceneRenderer;
}

namespace lv::render::gui {

class FrameWidget;

// Whether Qt can make OpenGL contexts on this platform (asked once; UI thread).
bool qtHasOpenGl();

// Call before the QApplication is made. Selects EGL as Qt's OpenGL interface on X11 unless the
// user chose one (QT_XCB_GL_INTEGRATION), so that the headless context and the window contexts
// can be current one after the other on the UI thread, and asks for a depth buffer.
void prepareOpenGl();

class QtFrameWindow : public FrameWindow {
public:
    // Makes the hidden widget for job; on the UI thread.
    explicit QtFrameWindow(RenderJob& job);
    // Deletes the widget (on the UI thread; from another thread it is deleted later).
    ~QtFrameWindow() override;
    QtFrameWindow(const QtFrameWindow&) = delete;
    QtFrameWindow& operator=(const QtFrameWindow&) = delete;

    void place(int width, int height, bool reusePosition, ScreenPoint position) override;
    void show() override;
    void hide() override;
    // The visibility last asked for (by show, hide or the user closing the window).
    bool isVisible() const override;
    void setCaption(const std::string& caption) override;
    std::string caption() const override;
    // The client origin where the window was last placed or moved to.
    ScreenPoint clientOrigin() const override;
    // The client size last asked for by place.
    int clientWidth() const override;
    int clientHeight() const override;
    // Asks the widget to paint the scene again; true.
    bool drawScene(const SceneView& scene) override;
    // On the UI thread: draws the scene into a clientWidth x clientHeight framebuffer of the
    // widget's context (device pixels, whatever the screen's scale factor) and reads it back.
    // Nothing on other threads, before a placement, or when the scene lock is taken.
    std::optional<RgbaImage> capture(const SceneView& scene) override;

    FrameWidget* widget() const { return widget_; }

private:
    friend class FrameWidget;
    struct State {
        int width = 0, height = 0;
        ScreenPoint origin;
        bool visible = false;
        std::string caption;
    };
    void update(const std::function<void(State&)>& change);

    mutable std::mutex mutex_;
    State state_;
    FrameWidget* widget_ = nullptr;
};

// Makes a QtFrameWindow for a job (RenderJob::createWindow); on the UI thread.
WindowFactory qtWindowFactory();

// The client area when Qt has OpenGL: draws what its frame window says, under the scene lock.
class GlView : public QOpenGLWidget {
    Q_OBJECT
public:
    GlView(RenderJob& job, QWidget* parent);
    ~GlView() override;
    // Draws the scene for a width x height viewport into the bound framebuffer: black when the
    // worker holds the scene lock or there is no renderer. The context must be current.
    void drawScene(int width, int height);
    // capture's draw: a width x height framebuffer of this context, read back.
    std::optional<RgbaImage> captureScene(int width, int height);
    const std::string& lastError() const { return error_; }

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void releaseRenderer();

    RenderJob& job_;
    std::unique_ptr<SceneRenderer> renderer_;
    std::string error_;
};

class FrameWidget : public QWidget {
    Q_OBJECT
public:
    FrameWidget(RenderJob& job, QtFrameWindow& window);
    ~FrameWidget() override;

    // Gives the client area width x height and puts it where clientPlace says, on the screen
    // the widget is on (the primary one at first); clears the drag state.
    void applyPlacement(int width, int height, bool reusePosition, ScreenPoint position);
    // The draw of capture, on the UI thread.
    std::optional<RgbaImage> captureScene(int width, int height);
    // The client area's picture as the screen shows it (device pixels).
    QImage grabPicture();
    // Repaints the client area.
    void refresh();
    // Chooses the client area once, before the window is first shown: an OpenGL view where Qt
    // has OpenGL, else the headless renderer's picture painted by this widget.
    void ensureView();
    // The OpenGL client area; null where Qt has no OpenGL (or before ensureView).
    GlView* glView() const { return gl_; }
    // Puts the camera and the model back as the render left them and repaints, when the
    // scene may be turned (see canTurn).
    void resetView();
    // Whether mouse turning acts now: the job is interactive, not busy, and its scene exists
    // (and is not locked by the worker).
    bool canTurn();
    bool isPlaced() const { return placed_; }
    // Why the last paint drew nothing ("" after a good one).
    const std::string& lastError() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // The keyboard does what the mouse does: arrows turn by a 24th of the window, Page Up and
    // Page Down zoom like a wheel notch, Home resets the view, Escape stops a render.
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend class QtFrameWindow;
    // Runs turn on the scene under the scene lock when turning acts now, then repaints.
    template <class Turn> void turnScene(Turn turn);
    // The headless renderer's picture of the scene (device pixels), black when there is none.
    QImage headlessPicture(int width, int height);

    RenderJob& job_;
    QtFrameWindow* window_; // the owner; null once it is gone
    GlView* gl_ = nullptr;
    bool viewChosen_ = false;
    bool placed_ = false;
    bool leftDrag_ = false;
    bool rightDrag_ = false;
    QPoint last_;
    std::string error_;
};

} // namespace lv::render::gui
