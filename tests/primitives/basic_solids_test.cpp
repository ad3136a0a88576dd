// Basic solids against straightforward implementations of their formulas, the axis families
// against each other, and the cases that must give OUTSIDE_VALUE.
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>

#include "lang/source_text.h"
#include "primitives/conventions.h"
#include "tests/primitives/primitive_call.h"

namespace lv::prim::test {
namespace {

using Reference = std::function<double(const double* d, const float* p)>;

double f32(double v) {
    return static_cast<float>(v);
}
double sq(double v) {
    return v * v;
}

// A solid called as name(x, centre, p0, p1, ...): reference gets d = x - centre and the reals.
struct CentredSolid {
    const char* name;
    int reals;
    Reference reference;
};

const std::vector<CentredSolid>& centredSolids() {
    // Each reference is the formula as written, with d = x - centre and p the reals.
    // clang-format off
    static const std::vector<CentredSolid> solids = {
        {"lvsphere", 1, [](const double* d, const float* p) {
            return double(p[0]) * p[0] - d[0] * d[0] - d[1] * d[1] - d[2] * d[2]; }},
        {"lvcylinderx", 1, [](const double* d, const float* p) {
            return double(p[0]) * p[0] - d[1] * d[1] - d[2] * d[2]; }},
        {"lvcylindery", 1, [](const double* d, const float* p) {
            return double(p[0]) * p[0] - d[0] * d[0] - d[2] * d[2]; }},
        {"lvcylinderz", 1, [](const double* d, const float* p) {
            return double(p[0]) * p[0] - d[0] * d[0] - d[1] * d[1]; }},
        {"lvconex", 1, [](const double* d, const float* p) {
            return d[0] * d[0] - sq(d[1] / p[0]) - sq(d[2] / p[0]); }},
        {"lvconey", 1, [](const double* d, const float* p) {
            return d[1] * d[1] - sq(d[0] / p[0]) - sq(d[2] / p[0]); }},
        {"lvconez", 1, [](const double* d, const float* p) {
            return d[2] * d[2] - sq(d[0] / p[0]) - sq(d[1] / p[0]); }},
        {"lvtorusz", 2, [](const double* d, const float* p) {
            return double(p[1]) * p[1] - d[0] * d[0] - d[1] * d[1] - d[2] * d[2] -
                   double(p[0]) * p[0] + 2.0 * p[0] * std::sqrt(d[0] * d[0] + d[1] * d[1]); }},
        {"lvtorusx", 2, [](const double* d, const float* p) {
            return double(p[1]) * p[1] - d[0] * d[0] - d[1] * d[1] - d[2] * d[2] -
                   double(p[0]) * p[0] + 2.0 * p[0] * std::sqrt(d[1] * d[1] + d[2] * d[2]); }},
        {"lvtorusy", 2, [](const double* d, const float* p) {
            return double(p[1]) * p[1] - d[0] * d[0] - d[1] * d[1] - d[2] * d[2] -
                   double(p[0]) * p[0] + 2.0 * p[0] * std::sqrt(d[0] * d[0] + d[2] * d[2]); }},
        {"lvellcylx", 2, [](const double* d, const float* p) {
            return 1.0 - sq(d[1] / p[0]) - sq(d[2] / p[1]); }},
        {"lvellcyly", 2, [](const double* d, const float* p) {
            return 1.0 - sq(d[0] / p[0]) - sq(d[2] / p[1]); }},
        {"lvellcylz", 2, [](const double* d, const float* p) {
            return 1.0 - sq(d[0] / p[0]) - sq(d[1] / p[1]); }},
        {"lvellconex", 2, [](const double* d, const float* p) {
            return d[0] * d[0] - sq(d[1] / p[0]) - sq(d[2] / p[1]); }},
        {"lvellconey", 2, [](const double* d, const float* p) {
            return d[1] * d[1] - sq(d[0] / p[0]) - sq(d[2] / p[1]); }},
        {"lvellconez", 2, [](const double* d, const float* p) {
            return d[2] * d[2] - sq(d[0] / p[0]) - sq(d[1] / p[1]); }},
        {"lvellipsoid", 3, [](const double* d, const float* p) {
            return 1.0 - sq(d[0] / p[0]) - sq(d[1] / p[1]) - sq(d[2] / p[2]); }},
        {"lvsuperell", 5, [](const double* d, const float* p) {
            const double e = f32(2.0 / p[4]), f = f32(2.0 / p[3]);
            const double across = f32(std::pow(std::fabs(d[0] / p[0]), e)) +
                                  f32(std::pow(std::fabs(d[1] / p[1]), e));
            const double q = f32(std::pow(across, double(p[4]) / p[3]));
            return 1.0 - q - f32(std::pow(std::fabs(d[2] / p[2]), f)); }},
    };
    // clang-format on
    return solids;
}

class Random {
public:
    float in(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(gen_); }

private:
    std::mt19937 gen_{12345};
};

std::vector<float> callArgs(PrimitiveCall& rc, const std::vector<float>& x, const std::vector<float>& c,
                            const std::vector<float>& reals) {
    std::vector<float> args = {rc.array(x), rc.array(c)};
    args.insert(args.end(), reals.begin(), reals.end());
    return args;
}

TEST(BasicSolids, MatchTheirFormulasExactlyAtRandomPoints) {
    Random rnd;
    for (const CentredSolid& s : centredSolids()) {
        for (int trial = 0; trial < 200; ++trial) {
            PrimitiveCall rc;
            std::vector<float> x = {rnd.in(-3, 3), rnd.in(-3, 3), rnd.in(-3, 3)};
            std::vector<float> c = {rnd.in(-1, 1), rnd.in(-1, 1), rnd.in(-1, 1)};
            std::vector<float> p;
            for (int i = 0; i < s.reals; ++i)
                p.push_back(rnd.in(0.3f, 2.5f));
            double d[3];
            for (int i = 0; i < 3; ++i)
                d[i] = double(x[i]) - c[i];
            const float expected = static_cast<float>(s.reference(d, p.data()));
            const std::vector<float> args = callArgs(rc, x, c, p);
            ASSERT_EQ(rc.call(s.name, args), expected)
                << s.name << " at " << x[0] << "," << x[1] << "," << x[2];
            ASSERT_EQ(rc.values(args[0]), x) << s.name << " wrote to x";
        }
    }
}

double blockReference(const float* x, const float* v, const float* e, double alpha) {
    double sx = (double(e[0]) + v[0] - x[0]) * (double(x[0]) - v[0]);
    double sy = f32((double(e[1]) + v[1] - x[1]) * (double(x[1]) - v[1]));
    double sz = f32((double(e[2]) + v[2] - x[2]) * (double(x[2]) - v[2]));
    if (alpha == 1.0)
        return std::min(sx, std::min(sy, sz));
    double t = sx + sy - std::sqrt(sx * sx + sy * sy - 2 * alpha * sx * sy);
    return t + sz - std::sqrt(t * t + sz * sz - 2 * alpha * t * sz);
}

TEST(BasicSolids, BlockMatchesItsFormulaForSeveralAlphas) {
    SettingsGuard guard;
    Random rnd;
    for (float alpha : {0.0f, 0.5f, -0.7f, 1.0f}) {
        ASSERT_TRUE(lang::setAlpha(alpha));
        for (int trial = 0; trial < 200; ++trial) {
            PrimitiveCall rc;
            float x[3] = {rnd.in(-2, 4), rnd.in(-2, 4), rnd.in(-2, 4)};
            float v[3] = {rnd.in(-1, 1), rnd.in(-1, 1), rnd.in(-1, 1)};
            float e[3] = {rnd.in(0, 3), rnd.in(0, 3), rnd.in(0, 3)};
            float got = rc.call("lvblock", {rc.array({x[0], x[1], x[2]}),
                                            rc.array({v[0], v[1], v[2]}), e[0], e[1], e[2]});
            ASSERT_EQ(got, static_cast<float>(blockReference(x, v, e, alpha))) << alpha;
        }
    }
}

TEST(BasicSolids, NoiseMatchesItsFormula) {
    Random rnd;
    for (int trial = 0; trial < 300; ++trial) {
        PrimitiveCall rc;
        float x[3] = {rnd.in(-5, 5), rnd.in(-5, 5), rnd.in(-5, 5)};
        double amp = rnd.in(-2, 2), freq = rnd.in(0.1f, 4), phase = rnd.in(-3, 3);
        double u = f32(freq * x[0]);
        double sx = f32(std::sin(u)), sy = f32(std::sin(freq * x[1]));
        double sz = f32(std::sin(freq * x[2]));
        double a = f32(amp * 0.8547008547008548), k = 20.0 / 27.0;
        double u1 = a * std::sin(phase * sy + k * freq * x[2]) + amp * sz;
        double u2 = a * std::sin(phase * sx + k * freq * x[1]) + amp * sy;
        double u3 = a * std::sin(phase * sz + k * u) + amp * sx;
        float got = rc.call("lvnoiseg",
                            {rc.array({x[0], x[1], x[2]}), float(amp), float(freq), float(phase)});
        ASSERT_EQ(got, static_cast<float>(u1 * u2 * u3));
    }
    PrimitiveCall rc;
    EXPECT_EQ(rc.call("lvnoiseg", {rc.array({0.3f, 1.2f, -0.4f}), 0.0f, 2.0f, 1.0f}), 0.0f);
}

// name_axis(p) equals name_z at p with the axis moved to Z and the other two to X, Y in order.
TEST(BasicSolids, AxisFamiliesAgreeUnderCoordinatePermutation) {
    Random rnd;
    const char* families[][3] = {{"lvcylinderx", "lvcylindery", "lvcylinderz"},
                                 {"lvconex", "lvconey", "lvconez"},
                                 {"lvtorusx", "lvtorusy", "lvtorusz"},
                                 {"lvellcylx", "lvellcyly", "lvellcylz"},
                                 {"lvellconex", "lvellconey", "lvellconez"}};
    for (auto& family : families) {
        const int reals = lang::kBuiltins[lang::findBuiltin(family[0])].argumentCount - 2;
        for (int trial = 0; trial < 50; ++trial) {
            float x[3] = {rnd.in(-3, 3), rnd.in(-3, 3), rnd.in(-3, 3)};
            float c[3] = {rnd.in(-1, 1), rnd.in(-1, 1), rnd.in(-1, 1)};
            std::vector<float> p = {rnd.in(0.5f, 2), rnd.in(0.5f, 2)};
            p.resize(static_cast<std::size_t>(reals));
            for (int axis = 0; axis < 2; ++axis) {
                const int a1 = axis == 0 ? 1 : 0, a2 = axis == 2 ? 1 : 2;
                PrimitiveCall rc;
                float got =
                    rc.call(family[axis], callArgs(rc, {x[0], x[1], x[2]}, {c[0], c[1], c[2]}, p));
                float want = rc.call(
                    family[2], callArgs(rc, {x[a1], x[a2], x[axis]}, {c[a1], c[a2], c[axis]}, p));
                ASSERT_FLOAT_EQ(got, want) << family[axis];
            }
        }
    }
}

TEST(BasicSolids, KnownValues) {
    SettingsGuard guard;
    PrimitiveCall rc;
    const float origin = rc.array({0, 0, 0});
    auto at = [&](float a, float b, float c) { return rc.array({a, b, c}); };
    EXPECT_EQ(rc.call("lvsphere", {at(0, 0, 0), origin, 1}), 1.0f);
    EXPECT_EQ(rc.call("lvsphere", {at(1, 0, 0), origin, 1}), 0.0f);
    EXPECT_EQ(rc.call("lvsphere", {at(2, 0, 0), origin, 1}), -3.0f);
    EXPECT_FLOAT_EQ(rc.call("lvtorusz", {at(0, 0, 0), origin, 2, 0.5f}), -3.75f);
    EXPECT_FLOAT_EQ(rc.call("lvtorusz", {at(2, 0, 0), origin, 2, 0.5f}), 0.25f);
    EXPECT_NEAR(rc.call("lvblock", {at(0.5f, 0.5f, 0.5f), origin, 1, 1, 1}), 0.10672f, 1e-5f);
    ASSERT_TRUE(lang::setAlpha(1.0f));
    EXPECT_EQ(rc.call("lvblock", {at(0.5f, 0.5f, 0.5f), origin, 1, 1, 1}), 0.25f);
    // The superellipsoid with s1 = s2 = 1 is the ellipsoid.
    const float p = at(0.7f, -0.4f, 1.1f);
    EXPECT_FLOAT_EQ(rc.call("lvsuperell", {p, origin, 1, 2, 3, 1, 1}),
                    rc.call("lvellipsoid", {p, origin, 1, 2, 3}));
    // Slopes of the elliptic cones are not validated: a zero slope divides by zero.
    EXPECT_NE(rc.call("lvellconez", {p, origin, 0, 1}), OUTSIDE_VALUE);
}

TEST(BasicSolids, UnusableParametersGiveOutsideValue) {
    PrimitiveCall rc;
    const float x = rc.array({0.1f, 0.2f, 0.3f}), c = rc.array({0, 0, 0});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(rc.call("lvblock", {x, c, -1, 1, 1}), OUTSIDE_VALUE);
    EXPECT_EQ(rc.call("lvblock", {x, c, 1, 1, nan}), OUTSIDE_VALUE);
    EXPECT_NE(rc.call("lvblock", {x, c, 0, 0, 0}), OUTSIDE_VALUE); // zero edges are accepted
    EXPECT_EQ(rc.call("lvellipsoid", {x, c, 1, 0, 1}), OUTSIDE_VALUE);
    EXPECT_EQ(rc.call("lvellipsoid", {x, c, 1, 1, -0.0000001f}), OUTSIDE_VALUE);
    EXPECT_EQ(rc.call("lvellcylz", {x, c, 0, 1}), OUTSIDE_VALUE);
    EXPECT_EQ(rc.call("lvellcylx", {x, c, 1, 0}), OUTSIDE_VALUE);
    for (int zero = 0; zero < 5; ++zero) {
        std::vector<float> p = {1, 1, 1, 1, 1};
        p[static_cast<std::size_t>(zero)] = 0;
        EXPECT_EQ(rc.call("lvsuperell", callArgs(rc, {0.1f, 0.2f, 0.3f}, {0, 0, 0}, p)),
                  OUTSIDE_VALUE)
            << "parameter " << zero;
    }
    // Semi-axes just at EPS are usable; with a larger EPS they are not.
    SettingsGuard guard;
    EXPECT_NE(rc.call("lvellipsoid", {x, c, 0.5f, 1, 1}), OUTSIDE_VALUE);
    ASSERT_TRUE(lang::setEps(0.6f));
    EXPECT_EQ(rc.call("lvellipsoid", {x, c, 0.5f, 1, 1}), OUTSIDE_VALUE);
}

// Every solid needs x of exactly 3 elements, and never reads a centre array past its end.
TEST(BasicSolids, WrongDimensionsGiveOutsideValue) {
    for (const char* name :
         {"lvsphere",   "lvcylinderx", "lvcylindery", "lvcylinderz", "lvconex",
          "lvconey",    "lvconez",     "lvtorusx",    "lvtorusy",    "lvtorusz",
          "lvellcylx",  "lvellcyly",   "lvellcylz",   "lvellconex",  "lvellconey",
          "lvellconez", "lvellipsoid", "lvblock",     "lvsuperell",  "lvnoiseg"}) {
        const int row = lang::findBuiltin(name);
        const bool centred = lang::kBuiltins[row].argumentKinds[1] == lang::kArgArray;
        const int n = lang::kBuiltins[row].argumentCount;
        auto call = [&](std::vector<float> x, std::vector<float> c) {
            PrimitiveCall rc;
            std::vector<float> args = {rc.array(x)};
            if (centred)
                args.push_back(rc.array(c));
            while (static_cast<int>(args.size()) < n)
                args.push_back(1.0f);
            return rc.call(name, args);
        };
        EXPECT_NE(call({0.1f, 0.2f, 0.3f}, {0, 0, 0}), OUTSIDE_VALUE) << name;
        EXPECT_EQ(call({0.1f, 0.2f}, {0, 0, 0}), OUTSIDE_VALUE) << name;
        EXPECT_EQ(call({0.1f, 0.2f, 0.3f, 0.4f}, {0, 0, 0}), OUTSIDE_VALUE) << name;
        EXPECT_EQ(call({0.1f}, {0, 0, 0}), OUTSIDE_VALUE) << name;
        if (centred) {
            EXPECT_EQ(call({0.1f, 0.2f, 0.3f}, {0, 0}), OUTSIDE_VALUE) << name;
        }
    }
}

// The examples of basic solids and operations compile, start with a comment saying what they
// show, evaluate without error and have points inside and outside; the CSG part holds the
// origin.
TEST(PrimitivePrograms, ExamplesCompileAndDescribeSolids) {
    const std::filesystem::path dir = std::filesystem::path(LV_SOURCE_DIR) / "examples";
    for (const char* name :
         {"csg_part.lv", "twisted_taper.lv", "blended.lv", "superellipsoid.lv", "space_map.lv"}) {
        const lang::SourceText source = lang::readSourceFile((dir / name).string());
        ASSERT_TRUE(source.ok) << name << ": " << source.error;
        EXPECT_EQ(source.text.rfind("--", 0), 0u) << name << " has no comment header";
        CompiledSource program(source.text);
        ASSERT_TRUE(program.compiled()) << name << ": " << program.firstError();
        for (const lang::CompiledObjectPtr& object : program.objects()) {
            const std::vector<float> a(static_cast<std::size_t>(object->aSize), 0.5f);
            int inside = 0, outside = 0;
            for (float px = -4; px <= 4; px += 0.5f)
                for (float py = -4; py <= 4; py += 0.5f)
                    for (float pz = -4; pz <= 4; pz += 0.5f) {
                        float f = 0;
                        ASSERT_TRUE(program.eval(object->name, {px, py, pz}, a, f))
                            << object->name << ": " << program.error().message;
                        ASSERT_TRUE(std::isfinite(f)) << object->name;
                        (f >= 0 ? inside : outside)++;
                    }
            EXPECT_GT(inside, 0) << object->name;
            EXPECT_GT(outside, 0) << object->name;
        }
    }
    const lang::SourceText csg = lang::readSourceFile((dir / "csg_part.lv").string());
    CompiledSource part(csg.text);
    float f = 0;
    ASSERT_TRUE(part.eval("part", {0, 0, 0}, {}, f));
    EXPECT_GE(f, 0.0f);
    ASSERT_TRUE(part.eval("part", {9, 9, 9}, {}, f));
    EXPECT_LT(f, 0.0f);
}

} // namespace
} // namespace lv::prim::test
