#include "lang/interval_triangle_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "primitives/convolution_geometry.h"

namespace lv::lang {
namespace {

using Tri = std::vector<float>; // x, y, z of three vertices

// The float that the triangle primitive adds for one element.
float fieldAt(const Tri& t, float x, float y, float z, float s) {
    const float p[3] = {x, y, z};
    return static_cast<float>(prim::triangleField(prim::pointAt(p, 0), prim::pointAt(t.data(), 0),
                                                  prim::pointAt(t.data(), 1),
                                                  prim::pointAt(t.data(), 2), s));
}

float inside(std::mt19937& rng, Interval v, int k) {
    if (k == 0) return v.lo;
    if (k == 1) return v.hi;
    std::uniform_real_distribution<float> t(0.0f, 1.0f);
    return std::fmin(std::fmax(v.lo + t(rng) * (v.hi - v.lo), v.lo), v.hi);
}

struct Tally {
    int proven = 0, points = 0, wrong = 0;
};

// Every proven box of boxes: random points (and strengths) in it evaluate inside the bound.
void check(const Tri& t, const std::vector<Interval>& box, Interval s, std::mt19937& rng,
           Tally& tally, int points = 24) {
    Interval out;
    if (!triangleFieldRange(box.data(), t.data(), s, out)) return;
    ++tally.proven;
    EXPECT_LE(out.lo, out.hi);
    for (int i = 0; i < points; ++i) {
        const float x = inside(rng, box[0], i % 5), y = inside(rng, box[1], i / 2 % 5),
                    z = inside(rng, box[2], i / 3 % 5), strength = inside(rng, s, i / 4 % 3);
        const float v = fieldAt(t, x, y, z, strength);
        ++tally.points;
        if (v >= out.lo && v <= out.hi) continue;
        if (++tally.wrong <= 5)
            ADD_FAILURE() << "field " << v << " at (" << x << ", " << y << ", " << z << ") s "
                          << strength << " outside [" << out.lo << ", " << out.hi
                          << "] of triangle " << t[0] << " " << t[1] << " " << t[2] << " / "
                          << t[3] << " " << t[4] << " " << t[5] << " / " << t[6] << " " << t[7]
                          << " " << t[8];
    }
}

std::vector<Interval> randomBox(std::mt19937& rng, float reach, float widest) {
    std::uniform_real_distribution<float> centre(-reach, reach), scale(-4.0f, std::log10(widest));
    std::vector<Interval> box(3);
    for (Interval& a : box) {
        const float c = centre(rng), w = std::pow(10.0f, scale(rng));
        a = {c - w / 2, c + w / 2};
    }
    return box;
}

Tri randomTriangle(std::mt19937& rng) {
    std::uniform_real_distribution<float> at(-2.0f, 2.0f);
    Tri t(9);
    for (float& v : t) v = at(rng);
    return t;
}

TEST(IntervalTriangleField, EveryPointOfABoxLiesInItsBound) {
    std::mt19937 rng(7);
    const Interval strengths[] = {{1.0f, 1.0f}, {2.5f, 2.5f}, {0.4f, 3.0f}, {-3.0f, -0.7f},
                                  {10.0f, 10.0f}, {30.0f, 30.0f}};
    for (const Interval s : strengths) {
        Tally tally;
        for (int i = 0; i < 400; ++i) {
            const Tri t = randomTriangle(rng);
            check(t, randomBox(rng, 5.0f, 3.0f), s, rng, tally);
            check(t, randomBox(rng, 1.5f, 0.3f), s, rng, tally); // near and on the triangle
            // Single points: the range is then little more than the rounding allowance.
            std::vector<Interval> point = randomBox(rng, 3.0f, 1e-3f);
            for (Interval& a : point) a.hi = a.lo;
            if (s.lo == s.hi) check(t, point, s, rng, tally, 1);
        }
        EXPECT_EQ(tally.wrong, 0) << "strength " << s.lo << ".." << s.hi;
        EXPECT_GE(tally.proven, 800) << "strength " << s.lo << ".." << s.hi;
    }
}

// Boxes that touch the triangle at a vertex, lie flat in its plane, or hold it whole; the
// kernel's peak is then inside the box.
TEST(IntervalTriangleField, BoxesTouchingOrHoldingTheTriangle) {
    std::mt19937 rng(11);
    const Tri t{0.5f, -1.0f, 0.25f, 2.0f, 0.5f, 0.25f, -0.5f, 1.5f, 0.25f};
    Tally tally;
    for (float s : {0.5f, 1.0f, 4.0f, 20.0f}) {
        for (int v = 0; v < 3; ++v) {
            for (float w : {1e-4f, 0.01f, 0.5f}) {
                const float* p = &t[3 * v];
                check(t, {{p[0], p[0] + w}, {p[1], p[1] + w}, {p[2], p[2] + w}}, {s, s}, rng,
                      tally, 60);
                check(t, {{p[0] - w, p[0]}, {p[1] - w, p[1] + w}, {p[2], p[2]}}, {s, s}, rng,
                      tally, 60);
            }
        }
        check(t, {{-1.0f, 2.5f}, {-1.5f, 2.0f}, {0.0f, 0.5f}}, {s, s}, rng, tally, 200);
        check(t, {{-1.0f, 2.5f}, {-1.5f, 2.0f}, {0.25f, 0.25f}}, {s, s}, rng, tally, 200);
    }
    EXPECT_EQ(tally.wrong, 0);
    EXPECT_EQ(tally.proven, 4 * (3 * 3 * 2 + 2));
}

// Slivers, triangles without area (the primitive gives exactly 0), huge and tiny strengths.
TEST(IntervalTriangleField, DegenerateTrianglesAndExtremeStrengths) {
    std::mt19937 rng(3);
    const std::vector<Interval> box{{0.2f, 0.6f}, {-0.3f, 0.1f}, {0.5f, 0.9f}};
    Interval out;
    const Tri point{1, 1, 1, 1, 1, 1, 1, 1, 1}, line{0, 0, 0, 1, 1, 1, 3, 3, 3};
    for (const Tri& t : {point, line}) {
        ASSERT_TRUE(triangleFieldRange(box.data(), t.data(), {1.0f, 1.0f}, out));
        EXPECT_EQ(out.lo, 0.0f);
        EXPECT_EQ(out.hi, 0.0f);
        ASSERT_TRUE(triangleFieldRange(box.data(), t.data(), {-1.0f, 1.0f}, out));
    }
    Tally tally;
    const Tri slivers[] = {{0, 0, 0, 2, 0, 0, 1, 1e-3f, 0},      // flat apex
                           {0, 0, 0, 2, 0.5f, 0, 2, 0.5f, 0.3f}, // right angle at V2
                           {0, 0, 0, 1, 1, 1, 2, 2, 2.0001f},    // nearly collinear
                           {0, 0, 0, 3, 0, 0, 1.5f, 2.6f, 0}};   // equilateral
    for (const Tri& t : slivers)
        for (int i = 0; i < 300; ++i)
            for (float s : {1e-3f, 0.05f, 1.0f, 200.0f})
                check(t, randomBox(rng, 3.0f, 2.0f), {s, s}, rng, tally, 12);
    EXPECT_EQ(tally.wrong, 0);
    EXPECT_GE(tally.proven, 3000);
    // Strengths that may be zero, or of both signs, and non-finite arguments prove nothing.
    const Tri t{0, 0, 0, 1, 0, 0, 0, 1, 0};
    EXPECT_FALSE(triangleFieldRange(box.data(), t.data(), {0.0f, 1.0f}, out));
    EXPECT_FALSE(triangleFieldRange(box.data(), t.data(), {-1.0f, 1.0f}, out));
    const Tri far{0, 0, 0, 1, 0, 0, 0, INFINITY, 0};
    EXPECT_FALSE(triangleFieldRange(box.data(), far.data(), {1.0f, 1.0f}, out));
    const std::vector<Interval> open{{0.0f, INFINITY}, {0.0f, 1.0f}, {0.0f, 1.0f}};
    EXPECT_FALSE(triangleFieldRange(open.data(), t.data(), {1.0f, 1.0f}, out));
}

// The bound follows the kernel: far boxes get a small range, near ones a large lower end.
TEST(IntervalTriangleField, BoundsAreTightEnoughToDecideASign) {
    const Tri t{-1, -1, 0, 1, -1, 0, 0, 1, 0}; // area 2
    Interval out;
    const std::vector<Interval> far{{3.0f, 3.1f}, {0.0f, 0.1f}, {0.0f, 0.1f}};
    ASSERT_TRUE(triangleFieldRange(far.data(), t.data(), {1.0f, 1.0f}, out));
    EXPECT_GE(out.lo, 0.0f - 1e-4f);
    EXPECT_LE(out.hi, 2.0f / ((1 + 2.0f * 2.0f) * (1 + 2.0f * 2.0f)) + 1e-3f); // distance >= 2
    const std::vector<Interval> on{{-0.05f, 0.05f}, {-0.05f, 0.05f}, {0.0f, 0.0f}};
    ASSERT_TRUE(triangleFieldRange(on.data(), t.data(), {3.0f, 3.0f}, out));
    EXPECT_GT(out.lo, 27.0f * 2.0f / ((1 + 9.0f * 8.0f) * (1 + 9.0f * 8.0f))); // within sqrt 8
}

} // namespace
} // namespace lv::lang
