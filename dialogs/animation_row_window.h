#pragma once
// The window of one time-curve row: the row's picture is drawn offscreen by the headless
// renderer on the render worker (as lumovar render draws it) and shown in a plain widget, so a
// long curve needs no OpenGL context per row. The worker calls the FrameWindow side from its
// thread; every request reaches the widget as a queued call with the widget as context, and
// what was last asked (size, place, visibility, caption, picture) is kept under a mutex where
// any thread reads it.
#include <QImage>
#include <QWidget>

#include <memory>
#include <mutex>

#pragma push_macro("slots")
#undef slots
#include "render/frame_placement.h"
#include "render/frame_window.h"
#include "render/render_job.h"
#pragma pop_macro("slots")

namespace lv::dialogs {

class RowImageWidget;

class RowImageWindow : public render::FrameWindow {
public:
    // Makes the hidden widget of row window number cascadeStep (its first place is moved
    // down and right by that many steps, kept on the screen); on the UI thread.
    explicit RowImageWindow(int cascadeStep);
    ~RowImageWindow() override;
    RowImageWindow(const RowImageWindow&) = delete;
    RowImageWindow& operator=(const RowImageWindow&) = delete;

    void place(int width, int height, bool reusePosition, render::ScreenPoint position) override;
    void show() override;
    void hide() override;
    bool isVisible() const override;
    void setCaption(const std::string& caption) override;
    std::string caption() const override;
    render::ScreenPoint clientOrigin() const override;
    int clientWidth() const override;
    int clientHeight() const override;
    // Draws scene offscreen at the client size on the calling thread and shows the picture.
    bool drawScene(const render::SceneView& scene) override;
    // The picture of the last draw when it has the client size, else a fresh offscreen draw.
    std::optional<render::RgbaImage> capture(const render::SceneView& scene) override;

    RowImageWidget* widget() const { return widget_; }
    // The client area's place on the screen where the first placement happens.
    void setScreen(const render::ScreenRect& screen);

private:
    mutable std::mutex mutex_;
    int width_ = 0, height_ = 0;
    render::ScreenPoint origin_;
    bool placed_ = false;
    bool visible_ = false;
    std::string caption_;
    std::shared_ptr<const render::RgbaImage> image_;
    render::ScreenRect screen_;
    int cascadeStep_ = 0;
    RowImageWidget* widget_ = nullptr;
};

// Makes a RowImageWindow for each row's job, cascaded by frame number; on the UI thread.
render::WindowFactory rowWindowFactory();

class RowImageWidget : public QWidget {
    Q_OBJECT
public:
    RowImageWidget();
    // The picture shown (top row first), null before the first draw.
    const QImage& image() const { return image_; }
    void setImage(QImage image);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Row windows have no close box; a close request is ignored.
    void closeEvent(QCloseEvent* event) override;

private:
    QImage image_;
};

// The picture of an RGBA image (bottom-up rows) in screen order.
QImage toQImage(const render::RgbaImage& image);

} // namespace lv::dialogs
