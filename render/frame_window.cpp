#include "render/frame_window.h"

#include "render/gl_context.h"
#include "render/scene_renderer.h"

namespace lv::render {

bool renderSceneOffscreen(const SceneView& scene, int width, int height, RgbaImage& out,
                          std::string& error) {
    // One renderer for the one headless context; it is only touched while that context is
    // current, which renderOffscreen serialises. It lives as long as the context.
    static SceneRenderer* renderer = nullptr;
    std::string drawError;
    auto draw = [&] {
        if (!renderer) renderer = new SceneRenderer;
        if (renderer->initialize(drawError)) renderer->draw(scene, width, height);
    };
    if (!renderOffscreen(width, height, draw, out, error)) return false;
    if (!drawError.empty()) {
        error = drawError;
        return false;
    }
    return true;
}

HeadlessWindow::HeadlessWindow(std::function<void(const std::string&)> captionListener)
    : listener_(std::move(captionListener)) {}

void HeadlessWindow::place(int width, int height, bool reusePosition, ScreenPoint position) {
    width_ = width;
    height_ = height;
    if (reusePosition) origin_ = position;
    placed_ = true;
}

void HeadlessWindow::setCaption(const std::string& caption) {
    caption_ = caption;
    if (listener_) listener_(caption);
}

bool HeadlessWindow::drawScene(const SceneView& scene) {
    RgbaImage image;
    if (!renderSceneOffscreen(scene, width_, height_, image, error_)) return false;
    image_ = std::move(image);
    error_.clear();
    return true;
}

std::optional<RgbaImage> HeadlessWindow::capture(const SceneView& scene) {
    if (!drawScene(scene)) return std::nullopt;
    return image_;
}

} // namespace lv::render
