#include "render/frame_placement.h"

#include <gtest/gtest.h>

namespace lv::render {
namespace {

TEST(FramePlacement, FirstPlaceIsLeftOfTheCentreOnTheMiddleLine) {
    // A 320 x 200 picture on a 1024 x 740 usable area: (167, 370) to (487, 570).
    EXPECT_EQ(firstClientPlace({0, 0, 1024, 740}, 320, 200), (ScreenRect{167, 370, 320, 200}));
    // The usable area's corner counts (a panel on the left or at the top).
    EXPECT_EQ(firstClientPlace({40, 30, 1024, 740}, 320, 200), (ScreenRect{207, 400, 320, 200}));
}

TEST(FramePlacement, FirstPlaceStaysOnTheScreen) {
    // Too wide for the left half: moved right to the edge.
    EXPECT_EQ(firstClientPlace({0, 0, 1024, 740}, 600, 200), (ScreenRect{0, 370, 600, 200}));
    // Too tall for the lower half: moved up until its bottom is on the screen.
    EXPECT_EQ(firstClientPlace({0, 0, 1024, 740}, 320, 500), (ScreenRect{167, 240, 320, 500}));
    // Larger than the screen: its top left corner stays on it.
    EXPECT_EQ(firstClientPlace({10, 20, 800, 600}, 900, 700), (ScreenRect{10, 20, 900, 700}));
}

TEST(FramePlacement, KeptAndReusedPlaces) {
    ScreenRect screen{0, 0, 1024, 740};
    // Never placed and no position asked for: the first place.
    EXPECT_EQ(clientPlace(false, {5, 5}, false, {9, 9}, screen, 320, 200),
              firstClientPlace(screen, 320, 200));
    // Placed: the current origin stays, the size changes.
    EXPECT_EQ(clientPlace(true, {500, 60}, false, {9, 9}, screen, 100, 80),
              (ScreenRect{500, 60, 100, 80}));
    // A position asked for wins, placed or not, and is taken as it is.
    EXPECT_EQ(clientPlace(true, {500, 60}, true, {-30, 2000}, screen, 100, 80),
              (ScreenRect{-30, 2000, 100, 80}));
    EXPECT_EQ(clientPlace(false, {0, 0}, true, {12, 34}, screen, 100, 80),
              (ScreenRect{12, 34, 100, 80}));
}

} // namespace
} // namespace lv::render
