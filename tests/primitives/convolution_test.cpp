// Convolution surfaces: every closed form against numerical integration of the kernel over
// its element, the rows' element counts and array layouts, and unusable input.
#include <cmath>
#include <functional>
#include <random>

#include <gtest/gtest.h>

#include "lang/settings.h"
#include "primitives/conventions.h"
#include "primitives/convolution_geometry.h"
#include "tests/primitives/primitive_call.h"

namespace lv::prim {
namespace {

using test::PrimitiveCall;

constexpr double kDeg = static_cast<double>(0.017453289f);
constexpr double kDegFine = 0.01745328888888889;

double kernel(double s, double r2) {
    const double e = 1.0 + s * s * r2;
    return 1.0 / (e * e);
}

// Composite 8-point Gauss-Legendre rule over [a, b] in the given number of pieces.
double integrate(const std::function<double(double)>& f, double a, double b, int pieces) {
    static const double node[4] = {0.1834346424956498, 0.5255324099163290, 0.7966664774136267,
                                   0.9602898564975363};
    static const double weight[4] = {0.3626837833783620, 0.3137066458778873, 0.2223810344533745,
                                     0.1012285362903763};
    const double h = (b - a) / pieces;
    double sum = 0.0;
    for (int k = 0; k < pieces; ++k) {
        const double mid = a + (k + 0.5) * h;
        for (int j = 0; j < 4; ++j)
            sum += weight[j] * (f(mid - node[j] * h / 2) + f(mid + node[j] * h / 2));
    }
    return sum * h / 2;
}

double segmentIntegral(Vec3 p, Vec3 q0, Vec3 q1, double s) {
    const double L = std::sqrt(norm2(q1 - q0));
    auto f = [&](double t) { return kernel(s, norm2(p - (q0 + (q1 - q0) * (t / L)))); };
    return integrate(f, 0.0, L, 64);
}

// Area integral over A + u (B - A) + v (C - A), u, v >= 0, u + v <= 1.
double triangleIntegral(Vec3 p, Vec3 A, Vec3 B, Vec3 C, double s) {
    const Vec3 e1 = B - A, e2 = C - A;
    const Vec3 n = cross(e1, e2);
    auto row = [&](double u) {
        auto f = [&](double v) { return kernel(s, norm2(p - (A + e1 * u + e2 * v))); };
        return integrate(f, 0.0, 1.0 - u, 16);
    };
    return length(n) * integrate(row, 0.0, 1.0, 16);
}

// Integral over the angle t of the circle (r cos(t + start), r sin(t + start), 0).
double arcIntegral(Vec3 b, double r, double start, double alpha, double s) {
    auto f = [&](double t) {
        const Vec3 q{r * std::cos(t + start), r * std::sin(t + start), 0.0};
        return kernel(s, norm2(b - q));
    };
    return integrate(f, 0.0, alpha, 64);
}

// Agreement to single precision.
void expectClose(double actual, double expected, const char* what, int i) {
    EXPECT_NEAR(actual, expected, 4e-6 * std::fmax(1.0, std::fabs(expected))) << what << " " << i;
}

class Random {
public:
    double uniform(double lo, double hi) { return std::uniform_real_distribution<>(lo, hi)(g_); }
    Vec3 point(double extent) {
        return toFloat(
            {uniform(-extent, extent), uniform(-extent, extent), uniform(-extent, extent)});
    }

private:
    std::mt19937 g_{20240611};
};

std::vector<float> flat(std::initializer_list<Vec3> points) {
    std::vector<float> out;
    for (const Vec3& v : points) out.insert(out.end(), {float(v.x), float(v.y), float(v.z)});
    return out;
}

TEST(ConvolutionClosedForms, SegmentMatchesIntegral) {
    Random rnd;
    for (int i = 0; i < 300; ++i) {
        const Vec3 q0 = rnd.point(2), q1 = rnd.point(2), p = rnd.point(3);
        const double s = static_cast<float>(rnd.uniform(0.2, 4.0));
        double field = 0.0;
        ASSERT_TRUE(segmentField(p, q0, q1, s, field));
        expectClose(field, segmentIntegral(p, q0, q1, s), "segment", i);
    }
}

TEST(ConvolutionClosedForms, SegmentOnItsOwnLineStaysFinite) {
    // A point on the extension of a long segment with a thin kernel: the perpendicular
    // distance rounds to slightly below zero, which must not turn into a square root of a
    // negative number.
    double field = -1.0;
    const Vec3 p{-300.1f, 0.3f * -300.1f, 0.0};
    ASSERT_TRUE(segmentField(p, {0, 0, 0}, {1.0f, 0.3f, 0.0}, 300.0, field));
    EXPECT_TRUE(std::isfinite(field));
    EXPECT_GE(field, 0.0);
    EXPECT_LT(field, 1e-9);
}

TEST(ConvolutionClosedForms, TriangleMatchesScaledIntegral) {
    Random rnd;
    for (int i = 0; i < 120; ++i) {
        const Vec3 a = rnd.point(1.5), b = rnd.point(1.5), c = rnd.point(1.5);
        const Vec3 p = rnd.point(2.5);
        const double s = static_cast<float>(rnd.uniform(0.3, 3.0));
        expectClose(triangleField(p, a, b, c, s), s * s * s * triangleIntegral(p, a, b, c, s),
                    "triangle", i);
    }
}

TEST(ConvolutionClosedForms, SliversAndDegenerateTriangles) {
    const double s = 1.5;
    const Vec3 p{0.3, 0.2, 0.4};
    // Apex right over an end of the longest edge: the altitude's foot is that end.
    const Vec3 a{0, 0, 0}, b{1, 0, 0}, c{1.0, 1e-4f, 0};
    expectClose(triangleField(p, a, b, c, s), s * s * s * triangleIntegral(p, a, b, c, s), "sliver",
                0);
    // A very flat triangle, and two without area at all.
    const Vec3 flatApex{0.5, 1e-3, 0};
    expectClose(triangleField(p, a, b, flatApex, s),
                s * s * s * triangleIntegral(p, a, b, flatApex, s), "flat", 0);
    EXPECT_EQ(triangleField(p, a, b, {2, 0, 0}, s), 0.0);
    EXPECT_EQ(triangleField(p, a, a, a, s), 0.0);
}

TEST(ConvolutionClosedForms, ArcPieceMatchesIntegral) {
    Random rnd;
    for (int i = 0; i < 300; ++i) {
        Vec3 b = rnd.point(2);
        if (i % 5 == 0) b.x = 0.0;         // where the usual rational term divides by zero
        if (i % 5 == 1) b.x = 1e-12 * b.y; // and right next to it
        const double r = rnd.uniform(0.2, 2.0);
        const double alpha = rnd.uniform(0.0, 180.0) * kDeg;
        const double s = rnd.uniform(0.3, 3.0);
        const double field = arcPieceField(b, r, alpha, s);
        ASSERT_TRUE(std::isfinite(field)) << i;
        expectClose(field, arcIntegral(b, r, 0.0, alpha, s), "arc", i);
    }
}

TEST(ConvolutionRows, HandValues) {
    PrimitiveCall c;
    const float x = c.array({0.3f, 0.7f, -0.4f});
    const float one = c.array({1.0f});
    const float two = c.array({2.0f});
    EXPECT_FLOAT_EQ(c.call("lvconvpoint", {x, c.array({0.3f, 0.7f, -0.4f}), one, 0.25f}), 0.75f);
    EXPECT_FLOAT_EQ(c.call("lvconvpoint", {x, c.array({0.3f, 0.7f, 0.6f}), one, 0.0f}), 0.25f);
    EXPECT_NEAR(c.call("lvconvline", {x, c.array({0, 0, 0}), c.array({1, 0.5f, 0.2f}), one, 0}),
                0.449095f, 2e-6);
    const float p = c.array({0.4f, 0.3f, 0.5f});
    EXPECT_NEAR(c.call("lvconvtriangle", {p, c.array({0, 0, 0, 1, 0, 0, 0.3f, 0.8f, 0}), two, 0}),
                0.61276f, 1e-5);
    // Identity frame: theta = -EPS cancels the EPS added to it.
    const float eps = lang::eps();
    const float arc = c.call("lvconvarc", {c.array({0.3f, 0.2f, 0.1f}), c.array({0, 0, 0}), one,
                                           c.array({float(2.0 / kDeg)}), c.array({0, 0, 1}),
                                           c.array({-eps}), one, 0.0f});
    EXPECT_NEAR(arc, 0.82372f, 1e-5);
}

TEST(ConvolutionRows, PolylineTrianglesAndMeshLayouts) {
    PrimitiveCall c;
    const Vec3 p{0.2, -0.1, 0.3};
    const Vec3 v0{0, 0, 0}, v1{1, 0.5f, 0}, v2{0.5f, -1, 0.5f}, v3{-1, 0, 1};
    const float x = c.array(flat({p}));
    const float s = c.array({1.5f, 0.75f, 2.0f});
    const double s0 = 1.5, s1 = 0.75, s2 = 2.0, T = 0.125;
    // A polyline of three segments through four points.
    const double curve = segmentIntegral(p, v0, v1, s0) + segmentIntegral(p, v1, v2, s1) +
                         segmentIntegral(p, v2, v3, s2);
    expectClose(c.call("lvconvcurve", {x, c.array(flat({v0, v1, v2, v3})), s, float(T)}), curve - T,
                "curve", 0);
    // The same two triangles given directly and as a mesh (vertex numbers from 1, truncated).
    const double tris = s0 * s0 * s0 * triangleIntegral(p, v0, v1, v2, s0) +
                        s1 * s1 * s1 * triangleIntegral(p, v2, v3, v1, s1);
    const float twoStrengths = c.array({1.5f, 0.75f});
    expectClose(c.call("lvconvtriangle",
                       {x, c.array(flat({v0, v1, v2, v2, v3, v1})), twoStrengths, float(T)}),
                tris - T, "triangles", 0);
    expectClose(c.call("lvconvmesh", {x, c.array(flat({v0, v1, v2, v3})),
                                      c.array({1, 2.9f, 3, 3, 4, 2}), twoStrengths, float(T)}),
                tris - T, "mesh", 0);
}

// An arc in world space: turned by 90 degrees about Z (axis (0, 0, 1) after the EPS shift),
// opening by more than a half turn, so it is a half circle and a second piece after it.
TEST(ConvolutionRows, ArcInWorldFrame) {
    PrimitiveCall c;
    const float eps = lang::eps();
    const Vec3 center{0.5, -0.25, 0.125};
    const double r = 1.25, s = 1.5, T = 0.5;
    for (float degrees : {60.0f, 270.0f, 400.0f}) {
        for (Vec3 p : {Vec3{0.3, 0.9, 0.2}, Vec3{-0.6, 0.1, -0.3}}) {
            p = toFloat(p);
            const float value = c.call(
                "lvconvarc", {c.array(flat({p})), c.array(flat({center})), c.array({float(r)}),
                              c.array({degrees}), c.array({-eps, -eps, 1.0f - eps}),
                              c.array({90.0f - eps}), c.array({float(s)}), float(T)});
            // World point in the arc's frame: turned back by the 90 degrees.
            const double phi = -90.0 * kDeg;
            const Vec3 d = p - center;
            const Vec3 b{std::cos(phi) * d.x - std::sin(phi) * d.y,
                         std::sin(phi) * d.x + std::cos(phi) * d.y, d.z};
            const double open = std::fmin(degrees, 360.0);
            double expected = 0.0;
            if (open <= 180.0) {
                expected = arcIntegral(b, r, 0.0, open * kDeg, s);
            } else {
                expected = arcIntegral(b, r, 0.0, 180.0 * kDeg, s) +
                           arcIntegral(b, r, 3.141592, (open - 180.0) * kDegFine, s);
            }
            expectClose(value, expected - T, "arc row", int(degrees));
        }
    }
}

TEST(ConvolutionRows, EmptyStrengthsGiveMinusThreshold) {
    PrimitiveCall c;
    const float x = c.array({0, 0, 0});
    const float none = PrimitiveCall::noArray();
    const float a = c.array({1});
    EXPECT_EQ(c.call("lvconvpoint", {x, none, none, 2.5f}), -2.5f);
    EXPECT_EQ(c.call("lvconvline", {x, a, a, none, 2.5f}), -2.5f);
    EXPECT_EQ(c.call("lvconvcurve", {x, a, none, 2.5f}), -2.5f);
    EXPECT_EQ(c.call("lvconvtriangle", {x, a, none, 2.5f}), -2.5f);
    EXPECT_EQ(c.call("lvconvmesh", {x, a, a, none, 2.5f}), -2.5f);
    EXPECT_EQ(c.call("lvconvarc", {x, a, a, a, a, a, none, 2.5f}), -2.5f);
}

// Every row returns OUTSIDE_VALUE, reading nothing out of bounds, for an x of the wrong size
// and for each geometry array one value short of what its element count needs.
TEST(ConvolutionRows, ShortArraysAreOutside) {
    struct Case {
        const char* name;
        std::vector<std::vector<float>> arrays; // in call order, after x; strengths last
        float threshold;
    };
    const std::vector<float> tri9 = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 1, 2, 0, 0, 0, 2, 0};
    const std::vector<Case> cases = {
        {"lvconvpoint", {{0, 0, 0, 1, 1, 1}, {1, 1}}, 0},
        {"lvconvline", {{0, 0, 0, 1, 1, 1}, {1, 0, 0, 2, 1, 1}, {1, 1}}, 0},
        {"lvconvcurve", {{0, 0, 0, 1, 0, 0, 1, 1, 0}, {1, 1}}, 0},
        {"lvconvtriangle", {tri9, {1, 1}}, 0},
        {"lvconvmesh", {{0, 0, 0, 1, 0, 0, 0, 1, 0}, {1, 2, 3, 3, 2, 1}, {1, 1}}, 0},
        {"lvconvarc",
         {{0, 0, 0, 1, 1, 1}, {1, 1}, {90, 90}, {0, 0, 1, 0, 0, 1}, {0, 0}, {1, 1}},
         0},
    };
    for (const Case& k : cases) {
        PrimitiveCall full;
        std::vector<float> args = {full.array({0.1f, 0.2f, 0.3f})};
        for (const auto& a : k.arrays) args.push_back(full.array(a));
        args.push_back(k.threshold);
        const float whole = full.call(k.name, args);
        EXPECT_TRUE(std::isfinite(whole) && whole > 0.0f) << k.name;

        for (std::size_t cut = 0; cut + 1 < k.arrays.size(); ++cut) {
            PrimitiveCall c;
            std::vector<float> shortArgs = {c.array({0.1f, 0.2f, 0.3f})};
            for (std::size_t j = 0; j < k.arrays.size(); ++j) {
                std::vector<float> a = k.arrays[j];
                if (j == cut) a.pop_back();
                shortArgs.push_back(c.array(a));
            }
            shortArgs.push_back(k.threshold);
            EXPECT_EQ(c.call(k.name, shortArgs), OUTSIDE_VALUE) << k.name << " array " << cut;
        }
        for (const std::vector<float>& x :
             {std::vector<float>{0.1f, 0.2f}, std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f}}) {
            PrimitiveCall c;
            std::vector<float> badX = {c.array(x)};
            for (const auto& a : k.arrays) badX.push_back(c.array(a));
            badX.push_back(k.threshold);
            EXPECT_EQ(c.call(k.name, badX), OUTSIDE_VALUE) << k.name << " x of " << x.size();
        }
    }
}

TEST(ConvolutionRows, MeshVertexNumbersOutsideTheArrayAreOutside) {
    PrimitiveCall c;
    const float x = c.array({0.1f, 0.2f, 0.3f});
    const float vect = c.array({0, 0, 0, 1, 0, 0, 0, 1, 0});
    const float one = c.array({1});
    EXPECT_GT(c.call("lvconvmesh", {x, vect, c.array({1, 2, 3.99f}), one, 0}), 0.0f);
    for (float bad : {0.0f, 0.99f, -1.0f, 4.0f, 1e20f, NAN, INFINITY}) {
        EXPECT_EQ(c.call("lvconvmesh", {x, vect, c.array({1, bad, 3}), one, 0}), OUTSIDE_VALUE)
            << bad;
    }
}

// The program test below checks the position; here the polyline's second segment.
TEST(ConvolutionRows, ZeroLengthPolylineSegmentStopsTheEvaluation) {
    PrimitiveCall c;
    const float x = c.array({0.1f, 0.2f, 0.3f}), s = c.array({1, 1});
    c.call("lvconvcurve", {x, c.array({0, 0, 0, 1, 0, 0, 1, 0, 0}), s, 0});
    EXPECT_TRUE(c.failed());
    EXPECT_STREQ(c.error().message, "ERROR:Tips of the segment take same coordinate!\n");
    c.call("lvconvcurve", {x, c.array({0, 0, 0, 1, 0, 0, 1, 1, 0}), s, 0});
    EXPECT_FALSE(c.failed());
}

} // namespace
} // namespace lv::prim

namespace lv::prim {
namespace {

// Through the compiler and the interpreter: the element layout of real arrays, the zero-length
// segment error at the position of the function name, and arrays left unchanged.
TEST(ConvolutionPrograms, SegmentsArcsAndErrors) {
    test::CompiledSource src(R"(segs(x[3], a[0]) {
    array b[6], e[6], s[2];
    b = [0, 0, 0, -1, 0.5, 0];
    e = [1, 0.5, 0.2, 1, 1, 1];
    s = [1, 2];
    segs = lvconvline(x, b, e, s, 0.25);
}
broken(x[3], a[0]) {
    array b[6], e[6], s[2];
    b = [0, 0, 0, 1, 1, 1];
    e = [1, 0.5, 0.2, 1, 1, 1];
    s = [1, 2];
    broken = 1 + lvconvline(x, b, e, s, 0.25);
}
arc(x[3], a[1]) {
    array c[3], r[1], ang[1], ax[3], th[1], s[1];
    c = [0, 0, 0];
    r = [1];
    ang = [270];
    ax = [0, 0, 1];
    th = [0];
    s = [1];
    f = lvconvarc(x, c, r, ang, ax, th, s, 0);
    if a[1] > 0 then
        f = ang[1];
    endif;
    arc = f;
}
)");
    const Vec3 p{0.3f, 0.7f, -0.4f};
    const double want = segmentIntegral(p, {0, 0, 0}, {1, 0.5f, 0.2f}, 1.0) +
                        segmentIntegral(p, {-1, 0.5f, 0}, {1, 1, 1}, 2.0) - 0.25;
    expectClose(src.eval("segs", {0.3f, 0.7f, -0.4f}), want, "program", 0);

    EXPECT_TRUE(std::isnan(src.eval("broken", {0.3f, 0.7f, -0.4f})));
    EXPECT_STREQ(src.error().message, "ERROR:Tips of the segment take same coordinate!\n");
    EXPECT_EQ(src.error().line, 13);
    EXPECT_EQ(src.error().column, 18);

    // A full turn less a quarter: a half circle and a quarter circle after it.
    const float arc = src.eval("arc", {0.2f, -0.9f, 0.1f}, {0});
    const double wantArc = arcIntegral({0.2f, -0.9f, 0.1f}, 1, 0, 180 * kDeg, 1) +
                           arcIntegral({0.2f, -0.9f, 0.1f}, 1, 3.141592, 90 * kDegFine, 1);
    EXPECT_NEAR(arc, wantArc, 1e-4); // the frame turns by the tiny angle EPS degrees
    EXPECT_EQ(src.eval("arc", {0.2f, -0.9f, 0.1f}, {1}), 270.0f);
}

TEST(ConvolutionPrograms, SkeletonExample) {
    test::expectExampleDescribesSolids("skeleton.lv");
    auto src = test::CompiledSource::fromFile(LV_SOURCE_DIR "/examples/skeleton.lv");
    // Head, halo and a leg are inside, the space between the legs is not; a lower
    // threshold makes the figure plumper. The tent is hollow, its mat solid.
    for (std::vector<float> p : {std::vector<float>{0, 0, 3.1f}, {0.6f, 0, 3.8f}, {0.5f, 0, -1.5f}})
        EXPECT_GT(src.eval("figure", p, {0.5f}), 0.0f) << p[0] << " " << p[2];
    EXPECT_LT(src.eval("figure", {0, 0, -2.5f}, {0.5f}), 0.0f);
    EXPECT_LT(src.eval("figure", {1, 0, 0}, {0.5f}), 0.0f);
    EXPECT_GT(src.eval("figure", {1, 0, 0}, {0.1f}), 0.0f);
    EXPECT_GT(src.eval("tent", {1, 0, -0.25f}), 0.0f);
    EXPECT_GT(src.eval("tent", {0, -3, -2}), 0.0f);
    EXPECT_LT(src.eval("tent", {0, 0, -1}), 0.0f);
}

} // namespace
} // namespace lv::prim
