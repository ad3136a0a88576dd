// Coordinate transforms and blends: exact formulas, round trips, the axis of each family, the
// checks with their messages, and arrays too short for a transform.
#include <cmath>
#include <numbers>
#include <random>

#include "primitives/conventions.h"
#include "tests/primitives/primitive_call.h"

namespace lv::prim::test {
namespace {

using Point = std::vector<float>;

double f32(double v) {
    return static_cast<float>(v);
}

class Random {
public:
    float in(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(gen_); }
    Point point(float r) { return {in(-r, r), in(-r, r), in(-r, r)}; }

private:
    std::mt19937 gen_{777};
};

// Applies transform name to x with the other arguments (array handles in them come from rc);
// returns the new x.
Point transformedIn(PrimitiveCall& rc, const char* name, const Point& x, std::vector<float> rest,
                    float* returned = nullptr) {
    const float handle = rc.array(x);
    rest.insert(rest.begin(), handle);
    const float r = rc.call(name, rest);
    EXPECT_FALSE(rc.failed()) << name << ": " << rc.message();
    if (returned != nullptr)
        *returned = r;
    return rc.values(handle);
}

Point transformed(const char* name, const Point& x, std::vector<float> rest,
                  float* returned = nullptr) {
    PrimitiveCall rc;
    return transformedIn(rc, name, x, std::move(rest), returned);
}

void expectNear(const Point& got, const Point& want, float tolerance) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], tolerance) << "component " << i;
}

// The rotation pattern of every axis: the coordinate after the axis (cyclically) gets
// u cos + v sin, the one after that v cos - u sin.
Point rotatedReference(const Point& x, int axis, double c, double s) {
    Point r = x;
    const int u = (axis + 1) % 3, v = (axis + 2) % 3;
    r[u] = static_cast<float>(x[u] * c + x[v] * s);
    r[v] = static_cast<float>(x[v] * c - x[u] * s);
    return r;
}

TEST(Rotations, MatchFormulasAndRoundTrip) {
    const char* names[] = {"lvrotate3dx", "lvrotate3dy", "lvrotate3dz"};
    Random rnd;
    for (int axis = 0; axis < 3; ++axis) {
        for (int trial = 0; trial < 100; ++trial) {
            const Point x = rnd.point(5);
            const float theta = rnd.in(-4, 4);
            float returned = 0;
            const Point once = transformed(names[axis], x, {theta}, &returned);
            EXPECT_EQ(returned, 1.0f);
            ASSERT_EQ(once,
                      rotatedReference(x, axis, std::cos(double(theta)), std::sin(double(theta))))
                << names[axis];
            expectNear(transformed(names[axis], once, {-theta}), x, 2e-5f);
        }
    }
    // The point turns by -theta: (1, 0, 0) goes to (0, -1, 0) for a quarter turn about Z.
    expectNear(transformed("lvrotate3dz", {1, 0, 0}, {std::numbers::pi_v<float> / 2}), {0, -1, 0},
               1e-6f);
    expectNear(transformed("lvrotate3dx", {0, 1, 0}, {std::numbers::pi_v<float> / 2}), {0, 0, -1},
               1e-6f);
    expectNear(transformed("lvrotate3dy", {0, 0, 1}, {std::numbers::pi_v<float> / 2}), {-1, 0, 0},
               1e-6f);
}

TEST(ShiftScaleStretch, MatchFormulasAndRoundTrip) {
    Random rnd;
    for (int trial = 0; trial < 100; ++trial) {
        const Point x = rnd.point(5), d = rnd.point(3), c = rnd.point(2);
        const Point s = {rnd.in(0.2f, 3), -rnd.in(0.2f, 3), rnd.in(0.2f, 3)};
        Point shifted = x, scaled = x, stretched = x;
        for (int i = 0; i < 3; ++i) {
            shifted[i] = static_cast<float>(double(x[i]) - d[i]);
            scaled[i] = static_cast<float>(double(x[i]) / s[i]);
            stretched[i] = static_cast<float>(c[i] + (double(x[i]) - c[i]) / s[i]);
        }
        ASSERT_EQ(transformed("lvshift3d", x, {d[0], d[1], d[2]}), shifted);
        ASSERT_EQ(transformed("lvscale3d", x, {s[0], s[1], s[2]}), scaled);
        PrimitiveCall rc;
        const float centre = rc.array(c);
        ASSERT_EQ(transformedIn(rc, "lvstretch3d", x, {centre, s[0], s[1], s[2]}), stretched);
        expectNear(transformed("lvshift3d", shifted, {-d[0], -d[1], -d[2]}), x, 1e-5f);
        expectNear(transformed("lvscale3d", scaled, {1 / s[0], 1 / s[1], 1 / s[2]}), x, 1e-5f);
    }
}

TEST(ShiftScaleStretch, StretchFixesItsCentreEvenWhenTheCentreIsX) {
    PrimitiveCall rc;
    const Point x = {1.5f, -2, 0.25f};
    const float handle = rc.array(x);
    EXPECT_EQ(rc.call("lvstretch3d", {handle, handle, 2, 3, 4}), 1.0f);
    EXPECT_EQ(rc.values(handle), x);
}

// Reference twist: the angle's cosine is rounded to float, its sine is not.
Point twistedReference(const Point& x, int axis, double from, double to, double t1, double t2) {
    const double t = (x[axis] - from) / (to - from);
    const double theta = (1 - t) * t1 + t * t2;
    return rotatedReference(x, axis, f32(std::cos(theta)), std::sin(theta));
}

TEST(Twists, MatchFormulasAlongTheirAxis) {
    const char* names[] = {"lvtwistx", "lvtwisty", "lvtwistz"};
    Random rnd;
    for (int axis = 0; axis < 3; ++axis) {
        for (int trial = 0; trial < 100; ++trial) {
            const Point x = rnd.point(4);
            const float from = rnd.in(-2, 0), to = rnd.in(0.5f, 2);
            const float t1 = rnd.in(-3, 3), t2 = rnd.in(-3, 3);
            ASSERT_EQ(transformed(names[axis], x, {from, to, t1, t2}),
                      twistedReference(x, axis, from, to, t1, t2))
                << names[axis];
        }
    }
    // No limit outside [z1, z2]: at z = 2 the angle is 2.
    const Point x = {0.6f, -0.3f, 2};
    expectNear(transformed("lvtwistz", x, {0, 1, 0, 1}), transformed("lvrotate3dz", x, {2}), 1e-6f);
}

TEST(Tapers, DivideTheCrossSectionByTheInterpolatedFactor) {
    const Point half = transformed("lvtaperz", {3, -1.5f, 0.5f}, {0, 1, 1, 2});
    expectNear(half, {2, -1, 0.5f}, 1e-6f);
    EXPECT_EQ(transformed("lvtaperz", {3, -1.5f, -3}, {0, 1, 1, 2}), (Point{3, -1.5f, -3}));
    EXPECT_EQ(transformed("lvtaperz", {3, -1.5f, 5}, {0, 1, 1, 2}), (Point{1.5f, -0.75f, 5}));
    // z2 < z1: s1 below z1, s2 from z1 on.
    EXPECT_EQ(transformed("lvtaperz", {4, 4, 0.5f}, {1, 0, 2, 4}), (Point{2, 2, 0.5f}));
    EXPECT_EQ(transformed("lvtaperz", {4, 4, 1}, {1, 0, 2, 4}), (Point{1, 1, 1}));
    // z1 = z2 is a step; the plane itself takes s2 instead of dividing 0 by 0.
    EXPECT_EQ(transformed("lvtaperz", {4, 4, 1}, {1, 1, 2, 4}), (Point{1, 1, 1}));
    EXPECT_EQ(transformed("lvtaperz", {4, 4, 0.9f}, {1, 1, 2, 4}), (Point{2, 2, 0.9f}));
}

TEST(Tapers, AxisFamiliesAgreeUnderCoordinatePermutation) {
    Random rnd;
    for (int trial = 0; trial < 100; ++trial) {
        const Point p = rnd.point(3);
        const std::vector<float> params = {-1, 1.5f, rnd.in(0.5f, 2), rnd.in(0.5f, 2)};
        // Along X: (x, y, z) -> Z-taper of (y, z, x); along Y: (x, y, z) -> Z-taper of (z, x, y).
        const Point z = transformed("lvtaperz", p, params);
        EXPECT_EQ(transformed("lvtaperx", {p[2], p[0], p[1]}, params), (Point{z[2], z[0], z[1]}));
        EXPECT_EQ(transformed("lvtapery", {p[1], p[2], p[0]}, params), (Point{z[1], z[2], z[0]}));
    }
}

Point spaceMapReference(const Point& x, const Point& pts, const Point& sh, double r) {
    const double r2 = f32(r * r);
    float sum[3] = {0, 0, 0};
    for (std::size_t i = 0; i < pts.size(); i += 3) {
        const double dx = double(x[0]) - pts[i], dy = double(x[1]) - pts[i + 1];
        const double dz = double(x[2]) - pts[i + 2];
        const double q = (dx * dx + f32(dz * dz + dy * dy)) / r2;
        const double w = q > 1 ? 0 : (1 - q) * (1 - q) * (1 - q) / (1 + q);
        for (int k = 0; k < 3; ++k)
            sum[k] = static_cast<float>(sum[k] + w * sh[i + k]);
    }
    return {static_cast<float>(x[0] + double(sum[0])), static_cast<float>(x[1] + double(sum[1])),
            static_cast<float>(x[2] + double(sum[2]))};
}

TEST(SpaceMapCubic, MovesByWeightedShifts) {
    Random rnd;
    for (int trial = 0; trial < 100; ++trial) {
        PrimitiveCall rc;
        Point pts, sh;
        for (int i = 0; i < 9; ++i)
            pts.push_back(rnd.in(-1, 1));
        for (int i = 0; i < 9; ++i)
            sh.push_back(rnd.in(-1e4f, 1e4f));
        const Point x = rnd.point(1.5f);
        const Point got =
            transformedIn(rc, "lvSpaceMapCubic", x, {rc.array(pts), rc.array(sh), 1.3f});
        ASSERT_EQ(got, spaceMapReference(x, pts, sh, 1.3f));
    }
    PrimitiveCall rc;
    const float origin = rc.array({0, 0, 0}), shift = rc.array({1, 0, 0});
    EXPECT_EQ(transformedIn(rc, "lvSpaceMapCubic", {0, 0, 0}, {origin, shift, 1}),
              (Point{1, 0, 0}));
    EXPECT_EQ(transformedIn(rc, "lvSpaceMapCubic", {0, 1, 0}, {origin, shift, 1}),
              (Point{0, 1, 0}));
    EXPECT_EQ(transformedIn(rc, "lvSpaceMapCubic", {0.8f, -0.9f, 0.5f}, {origin, shift, 1}),
              (Point{0.8f, -0.9f, 0.5f}));
}

TEST(SpaceMapCubic, ControlPointsMayBeXItself) {
    PrimitiveCall rc;
    const float x = rc.array({0.5f, 0.25f, -1});
    const float shift = rc.array({1, 2, 3});
    EXPECT_EQ(rc.call("lvSpaceMapCubic", {x, x, shift, 2}), 1.0f);
    EXPECT_EQ(rc.values(x), (Point{1.5f, 2.25f, 2}));
}

// Arrays too short for a transform leave x as it is, and the transform still returns 1.
TEST(ShortTransformArrays, LeaveXUnchanged) {
    const std::vector<std::pair<const char*, std::vector<float>>> transforms = {
        {"lvrotate3dx", {1}},       {"lvrotate3dy", {1}},       {"lvrotate3dz", {1}},
        {"lvshift3d", {1, 2, 3}},   {"lvscale3d", {2, 2, 2}},   {"lvtwistx", {0, 1, 0, 1}},
        {"lvtwisty", {0, 1, 0, 1}}, {"lvtwistz", {0, 1, 0, 1}}, {"lvtaperx", {0, 1, 2, 3}},
        {"lvtapery", {0, 1, 2, 3}}, {"lvtaperz", {0, 1, 2, 3}}};
    for (const auto& [name, rest] : transforms) {
        for (const Point& x : {Point{0.5f}, Point{0.5f, 0.7f}}) {
            float returned = 0;
            EXPECT_EQ(transformed(name, x, rest, &returned), x) << name;
            EXPECT_EQ(returned, 1.0f) << name;
        }
        // Elements past the third are never touched.
        EXPECT_EQ(transformed(name, {0.5f, 0.7f, 0.9f, 4}, rest)[3], 4.0f) << name;
    }
    PrimitiveCall rc;
    const Point x = {0.1f, 0.2f, 0.3f};
    EXPECT_EQ(transformedIn(rc, "lvstretch3d", x, {rc.array({0, 0}), 2, 2, 2}), x);
    EXPECT_EQ(transformedIn(rc, "lvstretch3d", {0.5f, 0.7f}, {rc.array({0, 0, 0}), 2, 2, 2}),
              (Point{0.5f, 0.7f}));
    const float one = rc.array({0, 0, 0}), shift = rc.array({1, 1, 1});
    // Points that are not whole points, and fewer shifts than points.
    EXPECT_EQ(transformedIn(rc, "lvSpaceMapCubic", x, {rc.array({0, 0, 0, 0}), shift, 5}), x);
    EXPECT_EQ(transformedIn(rc, "lvSpaceMapCubic", x, {rc.array({0, 0}), shift, 5}), x);
    EXPECT_EQ(transformedIn(rc, "lvSpaceMapCubic", x, {rc.array({0, 0, 0, 1, 1, 1}), shift, 5}), x);
    EXPECT_EQ(transformedIn(rc, "lvSpaceMapCubic", x, {one, rc.array({1, 1}), 5}), x);
    EXPECT_EQ(transformedIn(rc, "lvSpaceMapCubic", {0.5f, 0.7f}, {one, shift, 5}),
              (Point{0.5f, 0.7f}));
}

TEST(Blends, MatchFormulas) {
    Random rnd;
    for (int trial = 0; trial < 200; ++trial) {
        PrimitiveCall rc;
        const double f1 = rnd.in(-3, 3), f2 = rnd.in(-3, 3), a0 = rnd.in(-1, 1);
        const double a1 = rnd.in(0.1f, 2), a2 = -rnd.in(0.1f, 2);
        const double term = a0 / (1 + (f1 / a1) * (f1 / a1) + (f2 / a2) * (f2 / a2));
        const double root = std::sqrt(f1 * f1 + f2 * f2);
        const std::vector<float> args = {float(f1), float(f2), float(a0), float(a1), float(a2)};
        ASSERT_EQ(rc.call("lvblenduni", args), static_cast<float>(f1 + f2 + root + term));
        ASSERT_EQ(rc.call("lvblendint", args), static_cast<float>(f1 + f2 - root + term));
    }
    PrimitiveCall rc;
    EXPECT_FLOAT_EQ(rc.call("lvblenduni", {1, 2, 0, 1, 1}), 3 + std::sqrt(5.0f));
}

TEST(TransformChecks, StopTheEvaluationWithTheirMessages) {
    const char* scaleZero = "Stretch: scale parameter is zero";
    const char* blend = "Invalid parameters for blend";
    PrimitiveCall rc;
    const float x = rc.array({1, 2, 3}), c = rc.array({0, 0, 0});
    const std::vector<std::pair<std::string, std::vector<float>>> failing = {
        {"lvscale3d", {x, 1, 0, 1}},      {"lvscale3d", {x, 1, 1, -1e-7f}},
        {"lvstretch3d", {x, c, 0, 1, 1}}, {"lvtaperx", {x, 0, 1, 0, 1}},
        {"lvtapery", {x, 0, 1, 1, -2}},   {"lvtaperz", {x, 0, 1, -1, 1}},
        {"lvblenduni", {1, 1, 1, 0, 1}},  {"lvblendint", {1, 1, 1, 1, 1e-7f}}};
    for (const auto& [name, args] : failing) {
        rc.call(name, args);
        EXPECT_TRUE(rc.failed()) << name;
        EXPECT_EQ(rc.message(),
                  name.find("blend") != std::string::npos || name.find("taper") != std::string::npos
                      ? blend
                      : scaleZero)
            << name;
        EXPECT_EQ(rc.values(x), (Point{1, 2, 3})) << name << " ran despite its check";
    }
}

TEST(TransformChecks, ScaleCheckFollowsEps) {
    SettingsGuard guard;
    PrimitiveCall rc;
    const float x = rc.array({1, 2, 3});
    rc.call("lvscale3d", {x, 0.4f, 1, 1});
    EXPECT_FALSE(rc.failed());
    ASSERT_TRUE(lang::setEps(0.5f));
    rc.call("lvscale3d", {x, 0.4f, 1, 1});
    EXPECT_TRUE(rc.failed());
    EXPECT_EQ(rc.message(), "Stretch: scale parameter is zero");
}

// Transforms change x in place: later statements of the same evaluation see the new x.
TEST(PrimitivePrograms, ShiftedXStaysShiftedForLaterStatements) {
    CompiledSource program("s(x[3], a[1]) {\n"
                    "    array c[3];\n"
                    "    c = [0, 0, 0];\n"
                    "    t = lvshift3d(x, 1, 0, 0);\n"
                    "    v = lvsphere(x, c, 2);\n"
                    "    s = v * 100 + x[1] + t * 1000;\n"
                    "}\n");
    ASSERT_TRUE(program.compiled()) << program.firstError();
    float result = 0;
    ASSERT_TRUE(program.eval("s", {1, 0, 0}, {0}, result)) << program.error().message;
    // Sphere at the shifted point (0, 0, 0) is 4; x[1] is 0 after the shift; t is 1.
    EXPECT_FLOAT_EQ(result, 4 * 100 + 0 + 1000);
}

TEST(PrimitivePrograms, FailingCheckStopsTheEvaluationAtTheCall) {
    SettingsGuard guard;
    CompiledSource program("s(x[3], a[4]) {\n"
                    "    t = lvscale3d(x, a[1], a[2], a[3]);\n"
                    "    s = lvblendint(x[1], x[2], 1, 1, a[4]);\n"
                    "}\n");
    ASSERT_TRUE(program.compiled()) << program.firstError();
    float result = 0;
    EXPECT_TRUE(program.eval("s", {1, 0, 0}, {1, 1, 1, 1}, result));
    EXPECT_FALSE(program.eval("s", {1, 0, 0}, {1, 0, 1, 1}, result));
    EXPECT_STREQ(program.error().message, "Stretch: scale parameter is zero");
    EXPECT_EQ(program.error().line, 2);
    EXPECT_EQ(program.error().column, 9);
    ASSERT_TRUE(lang::setEps(0.5f));
    EXPECT_FALSE(program.eval("s", {1, 0, 0}, {0.4f, 1, 1, 1}, result));
    EXPECT_STREQ(program.error().message, "Stretch: scale parameter is zero");
    EXPECT_TRUE(program.eval("s", {1, 0, 0}, {0.6f, 1, 1, 1}, result));
    EXPECT_FALSE(program.eval("s", {1, 0, 0}, {0.6f, 1, 1, 0.4f}, result));
    EXPECT_STREQ(program.error().message, "Invalid parameters for blend");
    EXPECT_EQ(program.error().line, 3);
}

} // namespace
} // namespace lv::prim::test
