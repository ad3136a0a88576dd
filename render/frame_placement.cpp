#include "render/frame_placement.h"

#include <algorithm>

namespace lv::render {

namespace {

// The start of a span of length size moved into [low, low + room): low when it cannot fit.
int keepWithin(int start, int size, int low, int room) {
    return std::max(low, std::min(start, low + room - size));
}

} // namespace

ScreenRect firstClientPlace(const ScreenRect& screen, int width, int height) {
    int halfX = screen.width / 2, halfY = screen.height / 2;
    ScreenRect r{screen.left + halfX - width - 25, screen.top + halfY, width, height};
    r.left = keepWithin(r.left, width, screen.left, screen.width);
    r.top = keepWithin(r.top, height, screen.top, screen.height);
    return r;
}

ScreenRect clientPlace(bool placed, ScreenPoint current, bool reusePosition, ScreenPoint position,
                       const ScreenRect& screen, int width, int height) {
    if (placed && !reusePosition) return {current.x, current.y, width, height};
    if (reusePosition) return {position.x, position.y, width, height};
    return firstClientPlace(screen, width, height);
}

} // namespace lv::render
