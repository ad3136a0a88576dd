#pragma once
// Where a render job shows its picture. A GUI attaches its own window (queueing every call to
// its thread, since the job calls these from the render worker); without one a job draws into a
// headless window that renders offscreen.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "render/rgba_image.h"
#include "render/scene.h"

namespace lv::render {

struct ScreenPoint {
    int x = 0, y = 0;
};

class FrameWindow {
public:
    virtual ~FrameWindow() = default;
    // Gives the client area width x height pixels; with reusePosition its origin goes to
    // position, otherwise a window keeps its place (or takes a first one).
    virtual void place(int width, int height, bool reusePosition, ScreenPoint position) = 0;
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool isVisible() const = 0;
    virtual void setCaption(const std::string& caption) = 0;
    virtual std::string caption() const = 0;
    // The client area's origin on the screen.
    virtual ScreenPoint clientOrigin() const = 0;
    virtual int clientWidth() const = 0;
    virtual int clientHeight() const = 0;
    // Draws scene into the client area. False when it cannot be drawn.
    virtual bool drawScene(const SceneView& scene) = 0;
    // Draws scene once more and reads the client area back. Nothing when it cannot.
    virtual std::optional<RgbaImage> capture(const SceneView& scene) = 0;
};

// A window without a screen: the picture lives in an offscreen framebuffer of the headless
// OpenGL context. Captions go to the listener given at construction (if any).
class HeadlessWindow : public FrameWindow {
public:
    explicit HeadlessWindow(std::function<void(const std::string&)> captionListener = {});

    void place(int width, int height, bool reusePosition, ScreenPoint position) override;
    void show() override { visible_ = true; }
    void hide() override { visible_ = false; }
    bool isVisible() const override { return visible_; }
    void setCaption(const std::string& caption) override;
    std::string caption() const override { return caption_; }
    ScreenPoint clientOrigin() const override { return origin_; }
    int clientWidth() const override { return width_; }
    int clientHeight() const override { return height_; }
    bool drawScene(const SceneView& scene) override;
    std::optional<RgbaImage> capture(const SceneView& scene) override;

    // The picture of the last successful draw (empty before), and why the last draw failed.
    const RgbaImage& lastImage() const { return image_; }
    const std::string& lastError() const { return error_; }

private:
    std::function<void(const std::string&)> listener_;
    std::string caption_;
    ScreenPoint origin_;
    bool placed_ = false;
    bool visible_ = false;
    int width_ = 0, height_ = 0;
    RgbaImage image_;
    std::string error_;
};

// Draws scene into a width x height picture with the headless context. False with error set
// when there is no headless OpenGL or the sizes are unusable.
bool renderSceneOffscreen(const SceneView& scene, int width, int height, RgbaImage& out,
                          std::string& error);

} // namespace lv::render
