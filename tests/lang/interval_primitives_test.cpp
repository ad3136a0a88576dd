#include "lang/interval_primitives.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "interval_sweep.h"
#include "lang/settings.h"

namespace lv::lang {
namespace {

using testing::Sweep;
using testing::SweepOptions;
using testing::sweep;

class IntervalPrimitivesTest : public ::testing::Test {
protected:
    void TearDown() override {
        setEps(kDefaultEps);
        setAlpha(kDefaultAlpha);
        setConvolutionBounds(false);
    }
};

// An object f(x[3], a[n]) with a centre c, a corner v and a copy p of x; a body that starts
// with an array declaration has it moved before the statements.
std::string object(const std::string& body, int parameters = 0) {
    std::string declarations, statements = body;
    if (body.rfind("array ", 0) == 0) {
        const std::size_t end = body.find(';') + 1;
        declarations = "    " + body.substr(0, end) + "\n";
        statements = body.substr(end);
    }
    return "f(x[3], a[" + std::to_string(parameters) + "]) {\n" + declarations +
           "    array c[3], v[3], p[3];\n    c = [0.5, -1, 0.3];\n"
           "    v = [-1, -1.5, -2];\n    p[1] = x[1];\n    p[2] = x[2];\n    p[3] = x[3];\n" +
           statements + "\n}\n";
}

// Sweeps every body: each must be proven for at least minProven of the boxes.
void expectSound(std::initializer_list<const char*> bodies, int minProven,
                 const SweepOptions& options = {}) {
    const int parameters = static_cast<int>(options.a.size());
    for (const char* body : bodies) {
        const Sweep s = sweep(object(body, parameters), options);
        EXPECT_EQ(s.wrong, 0) << body;
        EXPECT_GE(s.proven, minProven) << body;
    }
}

// The bound of the last object of source over one box of x (a as given), or false.
bool boundOver(const std::string& source, Interval box, Interval& out,
               std::vector<Interval> a = {}) {
    testing::Compiled c = testing::compile(source);
    EXPECT_TRUE(c.errors.empty()) << source;
    if (c.objects.empty()) return false;
    std::vector<Interval> inputs{box, box, box};
    inputs.insert(inputs.end(), a.begin(), a.end());
    inputs.resize(static_cast<std::size_t>(c.objects.back()->xSize + c.objects.back()->aSize));
    return boundObject(*c.objects.back(), inputs.data(), out);
}

TEST_F(IntervalPrimitivesTest, QuadricsContainEveryPointResult) {
    expectSound({"f = lvconex(x, c, 0.7);", "f = lvconey(x, c, 1.3);", "f = lvconez(x, c, -2);",
                 "f = lvellcylx(x, c, 1.5, 0.8);", "f = lvellcyly(x, c, -0.5, 2);",
                 "f = lvellcylz(x, c, 3, 1);", "f = lvellconex(x, c, 0.5, 2);",
                 "f = lvellconey(x, c, 1, 0.25);", "f = lvellconez(x, c, 2, -1);",
                 "f = lvellipsoid(x, c, 2, 1.5, 1);", "f = lvellipsoid(x, c, 0.1, 3, -2);",
                 "f = lvtorusx(x, c, 2, 0.5);", "f = lvtorusy(x, c, 1, 1.5);",
                 "f = lvtorusz(x, c, 2.5, 0.3);", "f = lvsuperell(x, c, 2, 1.5, 1, 0.2, 0.3);",
                 "f = lvsuperell(x, c, 1.5, 1.5, 1.5, 1, 3);",
                 "f = lvsuperell(x, c, -1, 2, 0.5, 2, 0.5);",
                 "f = lvsuperell(x, c, 1.5, 1.5, 1, 0.5, 0.8) + lvnoiseg(x, 0.05, 6, 1);",
                 "f = lvnoiseg(x, -2, 0.7, 3) - 0.5;"},
                100);
    SweepOptions ranges;
    ranges.a = {{1.5f, 2.5f}, {0.3f, 0.8f}};
    expectSound({"f = lvtorusz(x, c, a[1], a[2]);", "f = lvellipsoid(x, c, a[1], a[2], 1);",
                 "f = lvellconex(x, c, a[1], a[2]);", "f = lvconey(x, c, a[2]) + a[1];"},
                100, ranges);
}

TEST_F(IntervalPrimitivesTest, TransformsMoveTheCoordinateRanges) {
    expectSound({"t = lvrotate3dz(p, 0.7); f = lvblock(p, v, 2, 3, 1.5);",
                 "t = lvrotate3dx(p, -2); f = lvblock(p, v, 2, 3, 1.5);",
                 "t = lvrotate3dy(x, 4); f = lvellipsoid(x, c, 2, 1.5, 1);",
                 "t = lvtwistz(p, -2, 2, 0, 1.5); f = lvblock(p, v, 1.2, 1.2, 4);",
                 "t = lvtwistx(p, 1, -1, 3, 0.5); f = lvblock(p, v, 1.2, 1.2, 4);",
                 "t = lvtwisty(p, 0, 1, 0, 0); f = lvtorusy(p, c, 2, 0.5);",
                 "t = lvtaperz(p, -2, 2, 1, 0.5); f = lvblock(p, v, 1.2, 1.2, 4);",
                 "t = lvtaperx(p, 1, -1, 2, 0.5); f = lvblock(p, v, 1.2, 1.2, 4);",
                 "t = lvtapery(p, 0.5, 0.5, 2, 0.5); f = lvsphere(p, c, 2);",
                 "t = lvtwistz(p, -2, 2, 0, 1.5) + lvtaperz(p, -2, 2, 1, 0.5); "
                 "f = lvblock(p, v, 1.2, 1.2, 4);",
                 "t = lvshift3d(x, 0.5, -1, 2); f = lvsphere(x, c, 2);",
                 "t = lvscale3d(p, 2, 0.5, -1.5); f = lvellipsoid(p, c, 2, 1, 1.5);",
                 "t = lvstretch3d(p, c, 2, 0.5, 1.5); f = lvtorusz(p, c, 2, 0.5);",
                 "t = lvstretch3d(p, p, 2, 0.5, 1.5); f = lvsphere(p, c, 2) + t;",
                 "array k[6], m[6]; k = [2, 0, 0, -2, 0, 0]; m = [0, 0, -0.8, -0.7, 0, 0];"
                 " t = lvSpaceMapCubic(p, k, m, 1.5); f = lvtorusz(p, c, 2, 0.5);",
                 "array k[3], m[3]; k = [0, 0, 0]; m = [1, -2, 0.5];"
                 " t = lvSpaceMapCubic(x, k, m, 3) + lvSpaceMapCubic(x, k, m, 0.5);"
                 " f = lvsphere(x, c, 1.5);"},
                100);
    SweepOptions angle;
    angle.a = {{0.2f, 0.35f}};
    expectSound({"t = lvrotate3dx(p, a[1]); f = lvblock(p, v, 2, 3, 1.5);",
                 "t = lvshift3d(p, a[1], 0, -a[1]); f = lvconez(p, c, 0.5);"},
                100, angle);
}

TEST_F(IntervalPrimitivesTest, TransformsOfFewerThanThreeCoordinatesLeaveThemAlone) {
    Interval out;
    const std::string source = "f(x[3], a[0]) { array q[2]; q = [1, 2]; t = lvshift3d(q, 5, 5, 5);"
                               " f = q[1] + q[2] + t; }";
    ASSERT_TRUE(boundOver(source, {0.0f, 1.0f}, out));
    EXPECT_EQ(out.lo, 4.0f);
    EXPECT_EQ(out.hi, 4.0f);
}

TEST_F(IntervalPrimitivesTest, BlendsContainEveryPointResult) {
    SweepOptions size;
    size.a = {{-0.5f, 0.8f}};
    expectSound({"f = lvblenduni(lvsphere(x, c, 1.2), lvcylinderx(x, c, 0.4), a[1], 1, 1);",
                 "f = lvblendint(lvellipsoid(x, c, 2, 2, 1), lvblock(x, v, 3, 3, 0.8), a[1], "
                 "0.5, -0.5);",
                 "f = lvblenduni(x[1], x[2] * x[3], 0.3, a[1] + 1, 2);"},
                100, size);
}

TEST_F(IntervalPrimitivesTest, BlobFamiliesContainEveryPointResult) {
    const std::string centres = "array xc[3], yc[3], zc[3], k[3], b[3], d[3];\n"
                                "xc = [-1.6, 0, 1.6]; yc = [-0.8, 0.4, -0.8]; zc = [0, 0.5, 0];\n"
                                "k = [1.5, 1, 0.5]; b = [1, -1.5, 2]; d = [2, 1.6, 2.4];\n"
                                "xc[2] = a[1];\n";
    SweepOptions move;
    move.a = {{-0.5f, 0.5f}};
    for (const std::string call :
         {"f = lvblobby(x, xc, yc, zc, k, b, 0.5);", "f = lvmetaball(x, xc, yc, zc, b, d, 0.3);",
          "f = lvsoft(x, xc, yc, zc, d, 0.3);", "f = lvfmapblob(x, 0.6, xc, yc, zc, b, d);",
          "d[3] = -1; f = lvmetaball(x, xc, yc, zc, b, d, 0.3) + lvsoft(x, xc, yc, zc, d, 0);",
          "k[1] = -0.1; f = lvblobby(x, xc, yc, zc, k, b, 0.5);"}) {
        const Sweep s = sweep(object(centres + call, 1), move);
        EXPECT_EQ(s.wrong, 0) << call;
        EXPECT_GE(s.proven, 100) << call;
    }
}

TEST_F(IntervalPrimitivesTest, SplineVolumesContainEveryPointResult) {
    const std::string bspline =
        "array box[6], k[96];\nbox = [-2, -2, -3.5, 2, 2, 3.5];\n"
        "i = 1; while i <= 96 loop k[i] = -1; i = i + 1; endloop;\n"
        "k[22] = 3; k[23] = a[1]; k[26] = 3; k[27] = 3; k[70] = 1.5;\n"
        "f = lvCubicBSplineF(x, 4, 4, 6, box, k);";
    const std::string bezier =
        "array box[6], k[27];\nbox = [-3, -2, -1.5, 3, 2, 1.5];\n"
        "i = 1; while i <= 27 loop k[i] = -1; i = i + 1; endloop;\n"
        "k[14] = 20 * a[1]; f = lvBezierSplineF(x, 3, 3, 3, box, k);";
    const std::string bezierHigh =
        "array box[6], k[60];\nbox = [-1, -1, -1, 1, 2, 3];\n"
        "i = 1; while i <= 60 loop k[i] = sin(i) * (3 * a[1] - 1); i = i + 1; endloop;\n"
        "f = lvBezierSplineF(x, 5, 4, 3, box, k) + a[1];";
    SweepOptions weight;
    weight.a = {{0.2f, 1.0f}};
    for (const std::string& body : {bspline, bezier, bezierHigh}) {
        const Sweep s = sweep(object(body, 1), weight);
        EXPECT_EQ(s.wrong, 0) << body;
        EXPECT_GE(s.proven, 100) << body;
    }
}

TEST_F(IntervalPrimitivesTest, ConvolutionOfPointsContainsEveryPointResult) {
    SweepOptions strength;
    strength.a = {{0.5f, 3.0f}};
    expectSound({"array h[6], s[2]; h = [0, 0, 1, 1, 0, 0]; s = [1.4, 1]; s[2] = a[1]; "
                 "f = lvconvpoint(x, h, s, 0.3);"},
                100, strength);
}

// Boxes where an evaluation fails, or where the primitive gives its unusable-argument value,
// are never bounded; the sweeps see the failures.
TEST_F(IntervalPrimitivesTest, CallsThatMayFailOrBecomeUnusableAreNotBounded) {
    SweepOptions around;
    around.a = {{0.0f, 0.5f}}; // the low end fails each check below
    around.countFailures = true;
    around.boxes = 30;
    for (const char* body :
         {"t = lvscale3d(p, 1, a[1], 1); f = lvsphere(p, c, 1);",
          "t = lvstretch3d(p, c, a[1], 1, 1); f = lvsphere(p, c, 1);",
          "t = lvtaperz(p, -1, 1, a[1], 1); f = lvsphere(p, c, 1);",
          "f = lvblendint(x[1], x[2], 0.3, a[1], 1);", "f = lvblenduni(x[1], x[2], 0.3, 1, a[1]);",
          "f = lvblendint(x[1], x[2], a[1], 0.0000001, 1);",
          "t = lvscale3d(p, 1, 1, -0.0000001); f = lvsphere(p, c, 1) + a[1];"}) {
        const Sweep s = sweep(object(body, 1), around);
        EXPECT_EQ(s.proven, 0) << body;
        EXPECT_GT(s.failed, 0) << body;
    }
    // Sizes that may be zero: the unusable-argument value or a division by zero.
    around.countFailures = false;
    for (const char* body :
         {"f = lvellipsoid(x, c, a[1], 1, 1);", "f = lvellcylz(x, c, 1, a[1]);",
          "f = lvconex(x, c, a[1]);", "f = lvellconey(x, c, a[1], 1);",
          "f = lvsuperell(x, c, 1, 1, 1, a[1], 1);", "f = lvsuperell(x, c, 1, 1, 1, 1, -2);",
          "array bx[6], k[8]; bx = [-1, -1, -1, 1, 1, 1]; k = [1, 1, 1, 1, 1, 1, 1, 1];"
          " f = lvBezierSplineF(x, 2 + a[1], 2, 2, bx, k);"}) {
        EXPECT_EQ(sweep(object(body, 1), around).proven, 0) << body;
    }
    // A point of the wrong size, and a centre array too short.
    Interval out;
    EXPECT_FALSE(boundOver("f(x[2], a[0]) { array c[3]; c = [0, 0, 0]; f = lvtorusz(x, c, 2, 1); }",
                           {0.0f, 1.0f}, out));
    EXPECT_FALSE(boundOver("f(x[3], a[0]) { array c[2]; c = [0, 0];"
                           " f = lvellipsoid(x, c, 2, 1, 1); }",
                           {0.0f, 1.0f}, out));
}

TEST_F(IntervalPrimitivesTest, ConvolutionOfSegmentsAndArcsIsBoundedOnlyWhenSwitchedOn) {
    const std::string line = object("array b[6], e[6], s[2]; b = [0, 0, 0, -1, 2, 0.5];"
                                    " e = [1, 0.5, 0.2, -1, 2, -3]; s = [1, 1]; s[2] = a[1];"
                                    " f = lvconvline(x, b, e, s, 0.2);", 1);
    // Arcs of 90, 270 (two pieces), 360 (capped) and -60 degrees about assorted axes.
    const std::string arcs = object("array ac[12], r[4], g[4], ax[12], th[4], s[4];"
                                    " ac = [0, 0, 1, 1, -1, 0, -1, 0.5, -1, 0, 0, -2];"
                                    " r = [1, 0.6, 1.5, 0.8]; g = [90, 270, 400, -60];"
                                    " ax = [0, 0, 1, 1, 0, 0, 0.3, -1, 0.5, 0, 0, 0];"
                                    " th = [0, 45, -30, 10]; s = [1, 2, 5, 0.7]; s[4] = a[1];"
                                    " f = lvconvarc(x, ac, r, g, ax, th, s, 0.3);", 1);
    const std::string curve = object("array k[12], s[3]; k = [0, 0, 2.4, 0, 0.2, 1.2, 0, 0, 0,"
                                     " 0.3, 0, -3]; s = [2, 2.5, 1]; s[3] = a[1];"
                                     " f = lvconvcurve(x, k, s, 0.3);", 1);
    SweepOptions strength;
    strength.a = {{0.5f, 3.0f}};
    EXPECT_FALSE(convolutionBounds());
    EXPECT_EQ(sweep(line, strength).proven, 0);
    EXPECT_EQ(sweep(arcs, strength).proven, 0);
    setConvolutionBounds(true);
    strength.reach = 6.0f; // far boxes too, where the closed form's terms nearly cancel
    for (const std::string& source : {line, curve, arcs}) {
        const Sweep s = sweep(source, strength);
        EXPECT_EQ(s.wrong, 0) << source;
        EXPECT_GE(s.proven, 100) << source;
    }
    // A segment of zero length stops every evaluation: never bounded.
    SweepOptions fails;
    fails.countFailures = true;
    fails.boxes = 10;
    const Sweep zero = sweep(object("array b[3], s[1]; b = [1, 1, 1]; s = [1];"
                                    " f = lvconvline(x, b, b, s, 0.2);"),
                             fails);
    EXPECT_EQ(zero.proven, 0);
    EXPECT_GT(zero.failed, 0);
}

TEST_F(IntervalPrimitivesTest, ConvolutionOfTrianglesAndMeshesIsBoundedOnlyWhenSwitchedOn) {
    // Two triangles, the second with a strength from a[1]; a tent of four faces and a flat
    // triangle as a mesh (vertex numbers truncated), with a degenerate face repeating a vertex.
    const std::string triangles =
        object("array k[18], s[2]; k = [0, 0, 0, 1.5, 0.2, 0, 0.3, 1.2, 0.4, -1, -1, -1, -2.5,"
               " -1, 0, -1, 1, 2]; s = [2, 1]; s[2] = a[1]; f = lvconvtriangle(x, k, s, 0.3);",
               1);
    const std::string mesh =
        object("array mv[15], t[18], s[6]; mv = [-2, -2, -2, 2, -2, -2, 2, 2, -2, -2, 2, -2, 0, 0,"
               " 1.5]; t = [1, 2, 5, 2, 3, 5, 3, 4, 5, 4, 1, 5, 1.9, 2.5, 3.99, 1, 1, 5];"
               " s = [1, 1, 1, 1, 3, 2]; s[2] = a[1]; f = lvconvmesh(x, mv, t, s, 2.5);",
               1);
    SweepOptions strength;
    strength.a = {{0.5f, 3.0f}};
    EXPECT_EQ(sweep(triangles, strength).proven, 0);
    EXPECT_EQ(sweep(mesh, strength).proven, 0);
    setConvolutionBounds(true);
    strength.reach = 6.0f;
    for (const std::string& source : {triangles, mesh}) {
        const Sweep s = sweep(source, strength);
        EXPECT_EQ(s.wrong, 0) << source;
        EXPECT_GE(s.proven, 140) << source;
    }
    // Tiny and huge strengths, negative ones, and a strength range that holds zero.
    for (const char* s : {"0.001", "40", "-2"}) {
        const Sweep sweep1 = sweep(object(std::string("array k[9], s[1]; k = [0, 0, 0, 1.5, 0.2,"
                                                      " 0, 0.3, 1.2, 0.4]; s = [") +
                                          s + "]; f = lvconvtriangle(x, k, s, 0.3);"));
        EXPECT_EQ(sweep1.wrong, 0) << s;
        EXPECT_GE(sweep1.proven, 100) << s;
    }
    SweepOptions zero;
    zero.a = {{-0.5f, 0.5f}};
    EXPECT_EQ(sweep(triangles, zero).proven, 0);
    // Vertex numbers past the array, below 1 or not fixed give the unusable-argument value or
    // vary: never bounded.
    SweepOptions index;
    index.a = {{1.0f, 2.0f}};
    for (const char* t : {"t = [1, 2, 6];", "t = [0.5, 2, 3];", "t = [1, 2, 3]; t[3] = a[1];"}) {
        const std::string body = std::string("array mv[15], t[3], s[1]; mv = [-2, -2, -2, 2, -2,"
                                             " -2, 2, 2, -2, -2, 2, -2, 0, 0, 1.5]; s = [1]; ") +
                                 t + " f = lvconvmesh(x, mv, t, s, 0.5) + a[1];";
        EXPECT_EQ(sweep(object(body, 1), index).proven, 0) << t;
    }
}

// The bounds are tight enough to prune: boxes well away from each surface get one sign.
TEST_F(IntervalPrimitivesTest, BoxesAwayFromTheSurfaceGetOneSign) {
    struct Case {
        const char* body;
        Interval outsideBox, insideBox;
    };
    const Case cases[] = {
        {"f = lvtorusz(x, c, 2, 0.5);", {5.0f, 5.2f}, {0.0f, 0.0f}},
        {"f = lvellipsoid(x, c, 2, 1.5, 1);", {3.0f, 3.2f}, {0.3f, 0.32f}},
        {"v = [-0.6, -0.6, -2]; t = lvtwistz(p, -2, 2, 0, 1.5); t = lvtaperz(p, -2, 2, 1, 0.5);"
         " f = lvblock(p, v, 1.2, 1.2, 4);",
         {3.0f, 3.2f}, {0.0f, 0.02f}},
        {"array xc[2], yc[2], zc[2], b[2], d[2]; xc = [-1, 1]; yc = [0, 0]; zc = [0, 0];"
         " b = [1, 1]; d = [2.4, 2.4]; f = lvmetaball(x, xc, yc, zc, b, d, 0.3);",
         {3.0f, 3.2f}, {0.0f, 0.02f}},
        {"array box[6], k[8]; box = [-1, -1, -1, 1, 1, 1]; k = [1, 1, 1, 1, 1, 1, 1, 1];"
         " f = lvBezierSplineF(x, 2, 2, 2, box, k);",
         {3.0f, 3.2f}, {0.0f, 0.02f}},
        {"array h[3], s[1]; h = [0, 0, 0]; s = [1.4]; f = lvconvpoint(x, h, s, 0.3);",
         {2.0f, 2.2f}, {0.0f, 0.02f}},
        {"array k[9], s[2]; k = [0, 0, 2.4, 0, 0.2, 1.2, 0, 0, 0]; s = [2, 2];"
         " f = lvconvcurve(x, k, s, 0.3);",
         {2.0f, 2.2f}, {0.0f, 0.02f}},
        {"array ac[3], r[1], g[1], ax[3], th[1], s[1]; ac = [0, 0, 0]; r = [1]; g = [360];"
         " ax = [0, 0, 1]; th = [0]; s = [1]; f = lvconvarc(x, ac, r, g, ax, th, s, 1);",
         {3.0f, 3.2f}, {0.0f, 0.0f}},
        {"array k[9], s[1]; k = [-1, -1, 0, 1, -1, 0, 0, 1, 0]; s = [2];"
         " f = lvconvtriangle(x, k, s, 0.5);",
         {2.0f, 2.2f}, {0.0f, 0.02f}},
        {"array mv[15], t[12], s[4];"
         " mv = [-2, -2, -2, 2, -2, -2, 2, 2, -2, -2, 2, -2, 0, 0, 1.5];"
         " t = [1, 2, 5, 2, 3, 5, 3, 4, 5, 4, 1, 5]; s = [1, 1, 1, 1];"
         " f = lvconvmesh(x, mv, t, s, 2.5);",
         {4.0f, 4.2f}, {0.0f, 0.02f}},
    };
    setConvolutionBounds(true);
    for (const Case& k : cases) {
        Interval out;
        ASSERT_TRUE(boundOver(object(k.body), k.outsideBox, out)) << k.body;
        EXPECT_LT(out.hi, 0.0f) << k.body;
        if (k.insideBox.hi > k.insideBox.lo) {
            ASSERT_TRUE(boundOver(object(k.body), k.insideBox, out)) << k.body;
            EXPECT_GT(out.lo, 0.0f) << k.body;
        }
    }
}

} // namespace
} // namespace lv::lang
