// Spline volumes against a direct evaluation of the tensor-product definition (de Casteljau for
// the Bezier volume, the full Cox-de Boor basis over all control indices for the B-spline),
// counts that change from call to call, the box faces, and unusable input.
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "primitives/conventions.h"
#include "tests/primitives/primitive_call.h"

namespace lv::prim {
namespace {

using test::PrimitiveCall;

using Box = std::array<float, 6>;

double intersect(double a, double b) { return a + b - std::sqrt(a * a + b * b); }

double clipToBox(const std::array<float, 3>& p, const Box& b, double s) {
    const double sx = (double(b[3]) - p[0]) * (double(p[0]) - b[0]);
    const double sy = (double(p[1]) - b[1]) * (double(b[4]) - p[1]);
    const double sz = (double(p[2]) - b[2]) * (double(b[5]) - p[2]);
    return intersect(intersect(intersect(sx, sy), sz), s);
}

double normalized(const std::array<float, 3>& p, const Box& b, int axis) {
    return (double(p[axis]) - b[axis]) / (double(b[axis + 3]) - b[axis]);
}

// Value of the one-dimensional Bezier curve with the given coefficients at t.
double deCasteljau(std::vector<double> c, double t) {
    for (std::size_t n = c.size(); n > 1; --n)
        for (std::size_t i = 0; i + 1 < n; ++i) c[i] = (1 - t) * c[i] + t * c[i + 1];
    return c[0];
}

// Bezier volume: l along X, n along Y, m along Z, value (ix, iy, iz) at (ix m + iz) n + iy.
double bezierReference(const std::array<float, 3>& p, int l, int m, int n, const Box& box,
                       const std::vector<float>& ctrl) {
    const double tx = normalized(p, box, 0);
    const double ty = static_cast<float>(normalized(p, box, 1));
    const double tz = static_cast<float>(normalized(p, box, 2));
    std::vector<double> alongX(l);
    for (int ix = 0; ix < l; ++ix) {
        std::vector<double> alongZ(m);
        for (int iz = 0; iz < m; ++iz) {
            std::vector<double> alongY(n);
            for (int iy = 0; iy < n; ++iy) alongY[iy] = ctrl[(ix * m + iz) * n + iy];
            alongZ[iz] = deCasteljau(alongY, ty);
        }
        alongX[ix] = deCasteljau(alongZ, tz);
    }
    return clipToBox(p, box, deCasteljau(alongX, tx));
}

// Every cubic basis function of the clamped uniform knot vector of count q at u.
std::vector<double> allCubicBases(int q, double u) {
    std::vector<double> U(q + 5);
    for (int k = 0; k < q + 5; ++k) U[k] = k < 3 ? 0 : (k <= q - 1 ? k - 3 : q - 3);
    std::vector<double> N(q + 4);
    for (int k = 0; k < q + 4; ++k) N[k] = U[k] <= u && u < U[k + 1] ? 1 : 0;
    for (int p = 1; p <= 3; ++p) {
        for (int k = 0; k + p < q + 4; ++k) {
            double v = 0;
            if (U[k + p] - U[k] > 1e-5) v += (u - U[k]) / (U[k + p] - U[k]) * N[k];
            if (U[k + p + 1] - U[k + 1] > 1e-5)
                v += (U[k + p + 1] - u) / (U[k + p + 1] - U[k + 1]) * N[k + 1];
            N[k] = v;
        }
    }
    N.resize(q);
    return N;
}

// B-spline volume: l along X, m along Y, n along Z, value (ix, iy, iz) at (iz l + ix) m + iy;
// for points in the box.
double bsplineReference(const std::array<float, 3>& p, int l, int m, int n, const Box& box,
                        const std::vector<float>& ctrl) {
    auto basis = [&](int q, int axis) {
        const float t = static_cast<float>(normalized(p, box, axis));
        return allCubicBases(q, static_cast<float>(double(t) * (q - 3)));
    };
    const auto nx = basis(l, 0), ny = basis(m, 1), nz = basis(n, 2);
    double s = 0;
    for (int iz = 0; iz < n; ++iz)
        for (int ix = 0; ix < l; ++ix)
            for (int iy = 0; iy < m; ++iy)
                s += nz[iz] * nx[ix] * ny[iy] * ctrl[(iz * l + ix) * m + iy];
    return clipToBox(p, box, -0.00001 + s);
}

struct Volume {
    int l, m, n;
    Box box;
    std::vector<float> ctrl;
};

Volume randomVolume(std::mt19937& g, int l, int m, int n) {
    std::uniform_real_distribution<float> value(-1.0f, 2.0f);
    Volume v{l, m, n, {-1.0f, -0.5f, 0.25f, 1.5f, 1.0f, 2.0f}, {}};
    for (int i = 0; i < l * m * n; ++i) v.ctrl.push_back(value(g));
    return v;
}

std::array<float, 3> pointIn(std::mt19937& g, const Box& b) {
    std::array<float, 3> p;
    for (int k = 0; k < 3; ++k) p[k] = std::uniform_real_distribution<float>(b[k], b[k + 3])(g);
    return p;
}

float callSpline(PrimitiveCall& c, const char* name, const std::array<float, 3>& p, const Volume& v) {
    return c.call(name, {c.array({p[0], p[1], p[2]}), float(v.l), float(v.m), float(v.n),
                         c.array({v.box.begin(), v.box.end()}), c.array(v.ctrl)});
}

void expectClose(double actual, double expected, int i) {
    EXPECT_NEAR(actual, expected, 2e-6 * std::fmax(1.0, std::fabs(expected))) << i;
}

TEST(BezierSpline, MatchesTensorProductDefinition) {
    std::mt19937 g(7);
    for (auto [l, m, n] : {std::array{3, 4, 5}, std::array{2, 6, 1}, std::array{21, 2, 3}}) {
        const Volume v = randomVolume(g, l, m, n);
        for (int i = 0; i < 40; ++i) {
            PrimitiveCall c;
            const auto p = pointIn(g, v.box);
            expectClose(callSpline(c, "lvBezierSplineF", p, v),
                        bezierReference(p, l, m, n, v.box, v.ctrl), i);
        }
    }
}

TEST(BezierSpline, ConstantControlAndOutsideTheBox) {
    const Volume ones{2, 2, 2, {0, 0, 0, 1, 2, 3}, std::vector<float>(8, 1.0f)};
    PrimitiveCall c;
    for (std::array<float, 3> p : {std::array{0.5f, 1.0f, 1.5f}, std::array{0.1f, 0.3f, 2.9f}})
        EXPECT_FLOAT_EQ(callSpline(c, "lvBezierSplineF", p, ones), clipToBox(p, ones.box, 1.0));
    for (std::array<float, 3> p : {std::array{-0.1f, 1.0f, 1.5f}, std::array{0.5f, 2.5f, 1.5f},
                                   std::array{0.5f, 1.0f, 3.01f}})
        EXPECT_LT(callSpline(c, "lvBezierSplineF", p, ones), 0.0f);
}

TEST(CubicBSpline, PartitionOfUnityAndUpperFaces) {
    const Volume ones{6, 4, 5, {0, 0, 0, 1, 1, 1}, std::vector<float>(120, 1.0f)};
    PrimitiveCall c;
    const std::array<float, 3> p = {0.3f, 0.6f, 0.9f};
    EXPECT_FLOAT_EQ(callSpline(c, "lvCubicBSplineF", p, ones), clipToBox(p, ones.box, 0.99999));
    // At the upper faces the span reaches one past the last control index, which contributes
    // nothing and is never read: the NaN values placed right after the control values in the
    // frame stay unseen.
    const float box = c.array({ones.box.begin(), ones.box.end()});
    const float ctrl = c.array(ones.ctrl);
    c.array(std::vector<float>(64, NAN));
    for (std::array<float, 3> q : {std::array{1.0f, 0.5f, 0.5f}, std::array{0.5f, 1.0f, 0.5f},
                                   std::array{0.5f, 0.5f, 1.0f}, std::array{1.0f, 1.0f, 1.0f}}) {
        const float value =
            c.call("lvCubicBSplineF", {c.array({q[0], q[1], q[2]}), 6, 4, 5, box, ctrl});
        EXPECT_TRUE(std::isfinite(value));
        EXPECT_LE(value, 0.0f);
    }
    // Outside the box at least one slab is negative.
    for (std::array<float, 3> q : {std::array{1.2f, 0.5f, 0.5f}, std::array{0.5f, -0.2f, 0.5f},
                                   std::array{0.5f, 0.5f, 7.0f}})
        EXPECT_LT(callSpline(c, "lvCubicBSplineF", q, ones), 0.0f);
}

TEST(CubicBSpline, TwoThreadsWithDifferentCounts) {
    std::mt19937 g(3);
    const Volume a = randomVolume(g, 4, 5, 6);
    const Volume b = randomVolume(g, 12, 7, 5);
    const auto p = pointIn(g, a.box);
    const double wantA = bsplineReference(p, a.l, a.m, a.n, a.box, a.ctrl);
    const double wantB = bsplineReference(p, b.l, b.m, b.n, b.box, b.ctrl);
    int wrongA = 0, wrongB = 0;
    auto run = [&p](const Volume& v, double want, int& wrong) {
        PrimitiveCall c;
        for (int i = 0; i < 2000; ++i)
            wrong += std::fabs(callSpline(c, "lvCubicBSplineF", p, v) - want) > 1e-5;
    };
    std::thread ta(run, std::cref(a), wantA, std::ref(wrongA));
    std::thread tb(run, std::cref(b), wantB, std::ref(wrongB));
    ta.join();
    tb.join();
    EXPECT_EQ(wrongA, 0);
    EXPECT_EQ(wrongB, 0);
}

TEST(SplineVolumes, UnusableInput) {
    const std::array<float, 3> p = {0.5f, 0.5f, 0.5f};
    const Box box = {0, 0, 0, 1, 1, 1};
    for (const char* name : {"lvBezierSplineF", "lvCubicBSplineF"}) {
        const bool bezier = name[2] == 'B';
        const Volume ok{4, 5, 6, box, std::vector<float>(120, 1.0f)};
        PrimitiveCall c;
        EXPECT_GT(callSpline(c, name, p, ok), 0.0f) << name;
        // Control values one short of l m n, a box of five values, x of 2 or 4 elements.
        const Volume shortCtrl{4, 5, 6, box, std::vector<float>(119, 1.0f)};
        EXPECT_EQ(callSpline(c, name, p, shortCtrl), OUTSIDE_VALUE) << name;
        EXPECT_EQ(c.call(name, {c.array({0.5f, 0.5f, 0.5f}), 4, 5, 6, c.array({0, 0, 0, 1, 1}),
                                c.array(ok.ctrl)}),
                  OUTSIDE_VALUE);
        for (const std::vector<float>& x :
             {std::vector<float>{0.5f, 0.5f}, std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f}})
            EXPECT_EQ(c.call(name, {c.array(x), 4, 5, 6, c.array({box.begin(), box.end()}),
                                    c.array(ok.ctrl)}),
                      OUTSIDE_VALUE);
        // Counts outside the limits, or not numbers at all.
        const int low = bezier ? 0 : 3, high = bezier ? 22 : 256;
        for (float bad : {float(low), float(high), -5.0f, NAN, INFINITY, 1e30f}) {
            const Volume v{4, 5, 6, box, std::vector<float>(120, 1.0f)};
            const float ctrl = c.array(v.ctrl);
            const float b = c.array({box.begin(), box.end()});
            const float x = c.array({p[0], p[1], p[2]});
            EXPECT_EQ(c.call(name, {x, bad, 5, 6, b, ctrl}), OUTSIDE_VALUE) << name << bad;
            EXPECT_EQ(c.call(name, {x, 4, 5, bad, b, ctrl}), OUTSIDE_VALUE) << name << bad;
        }
        // Counts are truncated toward zero.
        EXPECT_EQ(c.call(name, {c.array({p[0], p[1], p[2]}), 4.9f, 5.5f, 6.99f,
                                c.array({box.begin(), box.end()}), c.array(ok.ctrl)}),
                  callSpline(c, name, p, ok));
    }
}

} // namespace
} // namespace lv::prim

namespace lv::prim {
namespace {

// Declares and fills an array named name in Lumovar source.
std::string arrayText(const std::string& name, const std::vector<float>& values) {
    std::string text = "    " + name + " = [";
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i ? ", " : "") + std::to_string(values[i]);
    return text + "];\n";
}

// Two objects of one program with different counts, evaluated alternately, each agree with
// the direct definition.
TEST(SplinePrograms, ObjectsWithDifferentCounts) {
    std::mt19937 g(5);
    Volume a = randomVolume(g, 4, 5, 6), b = randomVolume(g, 7, 4, 4);
    std::string text;
    for (auto [name, v] : {std::pair{"first", &a}, std::pair{"second", &b}}) {
        text += std::string(name) + "(x[3], a[0]) {\n    array box[6], c[" +
                std::to_string(v->ctrl.size()) + "];\n";
        text += arrayText("box", {v->box.begin(), v->box.end()});
        text += arrayText("c", v->ctrl);
        text += "    " + std::string(name) + " = lvCubicBSplineF(x, " + std::to_string(v->l) +
                ", " + std::to_string(v->m) + ", " + std::to_string(v->n) + ", box, c);\n}\n";
    }
    // The literals went through text: read the values back as the program holds them.
    for (float& c : a.ctrl) c = std::stof(std::to_string(c));
    for (float& c : b.ctrl) c = std::stof(std::to_string(c));
    test::CompiledSource src(text);
    for (int i = 0; i < 40; ++i) {
        const Volume& v = i % 2 ? b : a;
        const auto p = pointIn(g, v.box);
        expectClose(src.eval(i % 2 ? "second" : "first", {p[0], p[1], p[2]}),
                    bsplineReference(p, v.l, v.m, v.n, v.box, v.ctrl), i);
    }
}

TEST(SplinePrograms, Example) {
    test::expectExampleDescribesSolids("bspline.lv");
    auto src = test::CompiledSource::fromFile(LV_SOURCE_DIR "/examples/bspline.lv");
    // The column narrows toward its top; the pillow bulges more with a larger a[1].
    EXPECT_GT(src.eval("column", {1.2f, 0, -1}), 0.0f);
    EXPECT_LT(src.eval("column", {1.2f, 0, 2.6f}), 0.0f);
    EXPECT_GT(src.eval("column", {0, 0, 2.6f}), 0.0f);
    EXPECT_LT(src.eval("column", {1.8f, 1.8f, 0}), 0.0f);
    EXPECT_GT(src.eval("pillow", {1.5f, 0, 0}, {1.0f}), 0.0f);
    EXPECT_LT(src.eval("pillow", {1.5f, 0, 0}, {0.4f}), 0.0f);
    EXPECT_LT(src.eval("pillow", {0, 0, 0}, {0.3f}), 0.0f);
}

} // namespace
} // namespace lv::prim
