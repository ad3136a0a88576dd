#pragma once
// A picture as OpenGL reads it back, and the largest side an offscreen picture may have. Free of
// any OpenGL or EGL header, so that windows and their users can name pictures without them.
#include <cstddef>
#include <cstdint>
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

// Whether width x height is a size an offscreen picture may have.
constexpr bool isPictureSize(int width, int height) {
    return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide;
}

// "WxH is outside 1..MAX": why a size is refused.
inline std::string sizeOutsideText(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height) + " is outside 1.." +
           std::to_string(kMaxImageSide);
}

} // namespace lv::render
