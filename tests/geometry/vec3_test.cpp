// The shared vector algebra: the contracts callers lean on for bit-identical results (order of
// the sums, the component type kept) and for degenerate input (normalized leaves what it
// cannot scale alone).
#include "geometry/vec3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

namespace lv::geom {
namespace {

TEST(Vec3Algebra, SumsRunFromTheLeftInTheComponentType) {
    // (1e16 + 1) rounds back to 1e16, so only the left-to-right sum gives 0.
    const Vec3 a{1e16, 1.0, -1e16}, ones{1.0, 1.0, 1.0};
    EXPECT_EQ(dot(a, ones), 0.0);
    EXPECT_EQ(norm2(Vec3{3.0, 4.0, 12.0}), 169.0);
    // Float vectors compute in float: 2^24 + 1 is not a float.
    const Vec3f f{16777216.0f, 1.0f, 0.0f};
    static_assert(std::is_same_v<decltype(dot(f, f)), float>);
    static_assert(std::is_same_v<decltype(f * 2.0), Vec3f>);
    EXPECT_EQ(dot(f, Vec3f{1.0f, 1.0f, 1.0f}), 16777216.0f);
    EXPECT_EQ(length(Vec3f{3.0f, 4.0f, 0.0f}), 5.0f);
    // Right-handed cross product; unary minus and scaling per component.
    const Vec3 z = cross(Vec3{1, 0, 0}, Vec3{0, 1, 0});
    EXPECT_EQ(z.z, 1.0);
    EXPECT_EQ(z.x, 0.0);
    const Vec3 m = -(Vec3{1, -2, 3} * 0.5) + Vec3{1, 1, 1} - Vec3{0, 0, 1};
    EXPECT_EQ(m.x, 0.5);
    EXPECT_EQ(m.y, 2.0);
    EXPECT_EQ(m.z, -1.5);
}

TEST(Vec3Algebra, NormalizedScalesByTheReciprocalAndLeavesDegenerateVectorsAlone) {
    const Vec3 v{3.0, 0.0, 4.0};
    const Vec3 n = normalized(v);
    EXPECT_EQ(n.x, 3.0 * (1.0 / 5.0)); // times the reciprocal, not divided
    EXPECT_EQ(n.z, 4.0 * (1.0 / 5.0));
    const double inf = std::numeric_limits<double>::infinity();
    for (const Vec3 odd : {Vec3{}, Vec3{inf, 0.0, 0.0}, Vec3{1e200, 1e200, 0.0},
                           Vec3{std::nan(""), 1.0, 0.0}}) {
        const Vec3 same = normalized(odd);
        EXPECT_TRUE(same.x == odd.x || (std::isnan(same.x) && std::isnan(odd.x)));
        EXPECT_EQ(same.y, odd.y);
        EXPECT_EQ(same.z, odd.z);
    }
}

TEST(Vec3Algebra, NewellNormalIsTwiceTheAreaTowardsTheCounterclockwiseSide) {
    const std::vector<Vec3> square{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const Vec3 up = newellNormal(4, [&](int i) -> const Vec3& { return square[i]; });
    EXPECT_EQ(up.x, 0.0);
    EXPECT_EQ(up.y, 0.0);
    EXPECT_EQ(up.z, 2.0);
    // Reversed winding turns it over; a triangle gives twice its area.
    const Vec3 down =
        newellNormal(3, [&](int i) { return square[static_cast<std::size_t>(2 - i)]; });
    EXPECT_EQ(down.z, -1.0);
}

} // namespace
} // namespace lv::geom
