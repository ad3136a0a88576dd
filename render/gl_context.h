#pragma once
// Headless OpenGL: one process-wide EGL context on the surfaceless platform (no X server, no
// window) and an offscreen framebuffer to draw into. Drawing code itself never depends on EGL:
// it issues plain GL calls into whatever context is current.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lv::render {

// An RGBA image read back from a framebuffer: rows bottom-up (the first row is the bottom of the
// picture, as OpenGL and bottom-up bitmaps both store them), 4 bytes per pixel, no padding.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    // The pixel at column x, row y counted from the top of the picture; x, y must be in range.
    const std::uint8_t* at(int x, int y) const {
        return pixels.data() + (static_cast<std::size_t>(height - 1 - y) * width + x) * 4;
    }
};

// Largest width or height accepted for an offscreen picture.
constexpr int kMaxImageSide = 8192;

// Draws into a width x height offscreen framebuffer (colour and depth) of the process-wide
// headless context and reads the result into out. draw runs with the context current, the
// framebuffer bound and the viewport set; it must leave the context current. Calls from several
// threads are serialised. An EGL context current on the calling thread before the call (a
// window's, on a GUI thread that uses EGL) is current again afterwards; a GLX context current on
// the calling thread makes the call fail. Returns false with error set (and out untouched) when the sizes are
// outside 1..kMaxImageSide or no EGL display, context or framebuffer can be had; the first
// failure to set up the context is remembered and repeated without retrying.
bool renderOffscreen(int width, int height, const std::function<void()>& draw, RgbaImage& out,
                     std::string& error);

// Whether the headless context can be had, with the reason when not (creates it on first use).
bool headlessGlAvailable(std::string& error);

// The GL_RENDERER text of the headless context, or "" when there is none.
std::string headlessGlRenderer();

} // namespace lv::render
