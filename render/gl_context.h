#pragma once
// Headless OpenGL: one process-wide EGL context on the surfaceless platform (no X server, no
// window) and an offscreen framebuffer to draw into. Drawing code itself never depends on EGL:
// it issues plain GL calls into whatever context is current.
#include <functional>
#include <string>

#include "render/rgba_image.h"

namespace lv::render {

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
