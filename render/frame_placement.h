#pragma once
// Where a frame window's client area goes on the screen: the first placement left of the
// screen's centre, a kept place on re-renders, or a place the caller asks for. Plain
// arithmetic on screen rectangles, so the rules are tested without a window system.
#include "render/frame_window.h"

namespace lv::render {

// A rectangle in screen pixels: left, top, width, height.
struct ScreenRect {
    int left = 0, top = 0, width = 0, height = 0;
    int right() const { return left + width; }
    int bottom() const { return top + height; }
    bool operator==(const ScreenRect&) const = default;
};

// The first place of a width x height client area on a screen whose usable area is screen:
// with cx, cy the usable width and height, the client spans cx/2 - width - 25 .. cx/2 - 25
// across and cy/2 .. cy/2 + height down (relative to the usable area's corner), then moves the
// least distance that keeps it inside the usable area (its top left corner wins when it is too
// large to fit).
ScreenRect firstClientPlace(const ScreenRect& screen, int width, int height);

// The client rectangle of a placement: an already placed window keeps its client origin
// current unless reusePosition is set; reusePosition puts the origin at position; a window
// never placed takes firstClientPlace. The size is always width x height.
ScreenRect clientPlace(bool placed, ScreenPoint current, bool reusePosition, ScreenPoint position,
                       const ScreenRect& screen, int width, int height);

} // namespace lv::render
