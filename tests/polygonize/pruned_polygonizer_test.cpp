#include "polygonize/pruned_polygonizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "eval/interpreter.h"
#include "lang/compiler.h"
#include "lang/interval.h"
#include "lang/interval_primitives.h"
#include "lang/settings.h"

namespace lv::poly {
namespace {

struct Grid {
    double min[3], max[3];
    int n[3];
};

using Field = std::function<float(float, float, float)>;

struct Recorded {
    std::vector<double> polygons; // count, then x, y, z of each vertex
    std::vector<float> calls;     // x, y, z of every sample call in order
    std::vector<float> values;    // the value returned for every call
    int slices = 0;
};

PolygonizeRequest requestFor(const Grid& g) {
    PolygonizeRequest r;
    r.xmin = g.min[0], r.ymin = g.min[1], r.zmin = g.min[2];
    r.xmax = g.max[0], r.ymax = g.max[1], r.zmax = g.max[2];
    r.nx = g.n[0], r.ny = g.n[1], r.nz = g.n[2];
    return r;
}

// Runs plain polygonize (bound empty) or the pruned one, recording every callback.
Recorded runOn(const Grid& g, const Field& f, BoundFn bound, const PruneOptions& options = {},
          PruneStats* stats = nullptr) {
    Recorded run;
    auto sample = [&](float x, float y, float z) {
        run.calls.insert(run.calls.end(), {x, y, z});
        const float v = f(x, y, z);
        run.values.push_back(v);
        return v;
    };
    auto emit = [&](const double* xs, const double* ys, const double* zs, int n) {
        run.polygons.push_back(n);
        for (int k = 0; k < n; ++k) run.polygons.insert(run.polygons.end(), {xs[k], ys[k], zs[k]});
    };
    auto slice = [&](void*, int) { ++run.slices; };
    PolygonizeRequest r = requestFor(g);
    r.sample = sample;
    r.emit_polygon = emit;
    r.slice_done = slice;
    if (bound) polygonizePruned(r, bound, options, stats);
    else polygonize(r);
    return run;
}

// The plain run's values by grid point: plane, row, column (the order polygonize samples).
struct Planes {
    const Grid& g;
    std::vector<float> v;
    float at(int p, int row, int col) const {
        const long long per = static_cast<long long>(g.n[0] + 1) * (g.n[1] + 1);
        const long long point = static_cast<long long>(row) * (g.n[0] + 1) + col;
        const long long call = p <= 1 ? 2 * point + p : 2 * per + (p - 2) * per + point;
        return v[static_cast<std::size_t>(call)];
    }
};

// Skipped cells whose eight exact corner values the plain polygonizer would not reject, or
// that lie on the wrong side.
int wronglySkipped(const Grid& g, const Recorded& plain, BoundFn bound, const PruneOptions& base) {
    const Planes planes{g, plain.values};
    int wrong = 0;
    auto audit = [&](int i0, int i1, int j0, int j1, int k0, int k1, bool inside) {
        for (int i = i0; i <= i1; ++i)
            for (int j = j0; j <= j1; ++j)
                for (int k = k0; k <= k1; ++k)
                    for (int c = 0; c < 8; ++c) {
                        const float v = planes.at(i - 1 + c / 4, j - 1 + c / 2 % 2, k - 1 + c % 2);
                        if (valueSide(v) != (inside ? 1 : -1)) ++wrong;
                    }
    };
    PruneOptions options = base;
    options.skipped_block = audit;
    PolygonizeRequest r = requestFor(g);
    auto sample = [](float, float, float) { return 0.0f; };
    r.sample = sample;
    polygonizePruned(r, bound, options);
    return wrong;
}

// Every call of the pruned run is a call of the plain run, in the same order, with its value.
bool isOrderedSubsequence(const Recorded& pruned, const Recorded& plain) {
    std::size_t j = 0;
    for (std::size_t i = 0; i < pruned.values.size(); ++i) {
        while (j < plain.values.size() &&
               !(plain.calls[3 * j] == pruned.calls[3 * i] &&
                 plain.calls[3 * j + 1] == pruned.calls[3 * i + 1] &&
                 plain.calls[3 * j + 2] == pruned.calls[3 * i + 2]))
            ++j;
        if (j == plain.values.size()) return false;
        if (std::bit_cast<std::uint32_t>(plain.values[j]) !=
            std::bit_cast<std::uint32_t>(pruned.values[i]))
            return false;
        ++j;
    }
    return true;
}

// A ball of radius r at c, computed in single precision, with a sound bound (the double
// range of the exact formula widened far beyond the float rounding).
struct Ball {
    float c[3], r;
    float operator()(float x, float y, float z) const {
        const float dx = x - c[0], dy = y - c[1], dz = z - c[2];
        return r * r - dx * dx - dy * dy - dz * dz;
    }
    ValueBound bound(const float lo[3], const float hi[3]) const {
        double near = 0.0, far = 0.0;
        for (int k = 0; k < 3; ++k) {
            const double a = double(lo[k]) - c[k], b = double(hi[k]) - c[k];
            far += std::max(a * a, b * b);
            near += a <= 0 && b >= 0 ? 0.0 : std::min(a * a, b * b);
        }
        const double slack = 1e-5 * (far + double(r) * r) + 1e-30;
        return {double(r) * r - far - slack, double(r) * r - near + slack, true};
    }
};

TEST(PrunedPolygonizer, ClassRuleMatchesThePlainRejectionAroundTheTolerance) {
    // A cell with one corner v and seven corners at w is rejected exactly when v lies on w's
    // side: inside means above -0.00001, outside at or below it.
    const float t = static_cast<float>(-0.00001);
    const float values[] = {0.0f, -0.0f, t, std::nextafter(t, 0.0f), std::nextafter(t, -1.0f),
                            static_cast<float>(0.00001), -2e-5f, 1e-38f, -1e-38f, -1e-4f,
                            std::nextafter(static_cast<float>(0.00001), 1.0f), 5.0f, -5.0f};
    for (float v : values) {
        for (float w : {1.0f, -1.0f}) {
            const Grid g{{0, 0, 0}, {1000, 1000, 1000}, {1, 1, 1}}; // crossings stay apart
            Field f = [&](float x, float y, float z) { return x + y + z == 0.0f ? v : w; };
            const Recorded run = runOn(g, f, {});
            const bool rejected = run.polygons.empty();
            EXPECT_EQ(rejected, valueSide(v) == valueSide(w)) << "v " << v << " w " << w;
        }
    }
    EXPECT_EQ(valueSide(std::nan("")), 0);
    EXPECT_EQ(boundSide({-1e-6, 5.0, true}), 1);
    EXPECT_EQ(boundSide({-1.0, -0.00001, true}), -1);
    EXPECT_EQ(boundSide({-1.0, -0.0000099, true}), 0);
    EXPECT_EQ(boundSide({1.0, 2.0, false}), 0); // unproven
    EXPECT_EQ(boundSide({std::nan(""), 2.0, true}), 0);
}

TEST(PrunedPolygonizer, SameCallsOfTheSinksAndFewerSamplesInTheSameOrder) {
    const Ball balls[] = {{{0.1f, -0.2f, 0.3f}, 1.7f}, {{2.0f, 2.0f, 2.0f}, 2.5f},
                          {{0.0f, 0.0f, 0.0f}, 0.05f}};
    const Grid grids[] = {{{-2, -2, -2}, {2, 2, 2}, {20, 20, 20}},
                          {{-2, -2.5, -2}, {2.5, 2, 2}, {48, 48, 48}},
                          {{-3, -2, -2.2}, {2, 2.7, 2}, {100, 30, 45}}};
    for (const Ball& ball : balls) {
        for (const Grid& g : grids) {
            auto bound = [&](const float lo[3], const float hi[3]) { return ball.bound(lo, hi); };
            PruneOptions options;
            options.minCells = 0;
            PruneStats stats;
            const Recorded plain = runOn(g, ball, {});
            const Recorded pruned = runOn(g, ball, bound, options, &stats);
            EXPECT_EQ(pruned.polygons, plain.polygons) << "grid " << g.n[0];
            EXPECT_EQ(pruned.slices, g.n[2]);
            EXPECT_TRUE(isOrderedSubsequence(pruned, plain));
            EXPECT_EQ(stats.evaluated, static_cast<long long>(pruned.values.size()));
            EXPECT_EQ(stats.evaluated + stats.skipped, static_cast<long long>(plain.values.size()));
            EXPECT_EQ(wronglySkipped(g, plain, bound, options), 0);
            if (g.n[0] == 48) {
                EXPECT_LT(stats.evaluated * 2, stats.evaluated + stats.skipped);
            }
        }
    }
}

TEST(PrunedPolygonizer, TheAuditCatchesABoundThatSkipsCellsThePlainRunWouldVisit) {
    const Ball ball{{0.0f, 0.0f, 0.0f}, 1.5f};
    const Grid g{{-2, -2, -2}, {2, 2, 2}, {32, 32, 32}};
    PruneOptions options;
    options.minCells = 0;
    auto wrong = [](const float*, const float*) { return ValueBound{-5.0, -1.0, true}; };
    const Recorded plain = runOn(g, ball, {});
    EXPECT_GT(wronglySkipped(g, plain, wrong, options), 0);
    const Recorded pruned = runOn(g, ball, wrong, options);
    EXPECT_NE(pruned.polygons, plain.polygons); // and the output would differ
}

TEST(PrunedPolygonizer, UnprovenBlocksAndNaNValuesAreSampledAsBefore) {
    // NaN inside a slab, and a bound that proves nothing where a value may be NaN.
    const Ball ball{{0.0f, 0.0f, 0.0f}, 1.2f};
    Field f = [&](float x, float y, float z) {
        return x > 0.5f && x < 0.9f ? std::numeric_limits<float>::quiet_NaN() : ball(x, y, z);
    };
    auto bound = [&](const float lo[3], const float hi[3]) {
        if (hi[0] > 0.5f && lo[0] < 0.9f) return ValueBound{};
        return ball.bound(lo, hi);
    };
    const Grid g{{-2, -2, -2}, {2, 2, 2}, {40, 40, 40}};
    PruneOptions options;
    options.minCells = 0;
    const Recorded plain = runOn(g, f, {});
    PruneStats stats;
    const Recorded pruned = runOn(g, f, bound, options, &stats);
    EXPECT_EQ(pruned.polygons, plain.polygons);
    EXPECT_TRUE(isOrderedSubsequence(pruned, plain));
    EXPECT_GT(stats.skipped, 0);
}

// Tokens handed to the block sampler belong to proven boxes that hold their points, are alive
// while the points are sampled, and leave the polygons as they are.
TEST(PrunedPolygonizer, TokensGoWithPointsInsideTheirBoxes) {
    struct Box {
        float lo[3], hi[3];
    };
    const Ball ball{{0.2f, -0.1f, 0.3f}, 1.6f};
    const Grid g{{-2, -2, -2}, {2, 2.3, 2}, {48, 44, 40}};
    auto bound = [&](const float lo[3], const float hi[3]) {
        ValueBound b = ball.bound(lo, hi);
        // Finest blocks at x < 0 carry one, and whole slabs above z = 1, whose blocks inside
        // inherit it; the others none.
        if ((lo[0] < 0.0f && hi[0] - lo[0] < 0.5f) || lo[2] > 1.0f)
            b.token = std::make_shared<Box>(Box{{lo[0], lo[1], lo[2]}, {hi[0], hi[1], hi[2]}});
        return b;
    };
    long long tokened = 0, outside = 0, untokened = 0;
    std::vector<double> polygons;
    auto block = [&](const SampleBlock& b) {
        const std::size_t planes = static_cast<std::size_t>(b.planes);
        const std::size_t cols = static_cast<std::size_t>(b.cols);
        const std::size_t n = b.points ? b.count : cols * static_cast<std::size_t>(b.rows) * planes;
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t i = b.points ? b.points[k] : k;
            const float p[3] = {b.xs[i / planes % cols], b.ys[i / planes / cols], b.zs[i % planes]};
            b.values[i] = ball(p[0], p[1], p[2]);
            const auto* box = b.tokens ? static_cast<const Box*>(b.tokens[k]) : nullptr;
            if (!box) {
                ++untokened;
                continue;
            }
            ++tokened;
            for (int a = 0; a < 3; ++a)
                if (!(box->lo[a] <= p[a] && p[a] <= box->hi[a])) ++outside;
        }
    };
    auto emit = [&](const double* xs, const double* ys, const double* zs, int count) {
        polygons.push_back(count);
        for (int k = 0; k < count; ++k) polygons.insert(polygons.end(), {xs[k], ys[k], zs[k]});
    };
    PolygonizeRequest r = requestFor(g);
    r.sample_block = block;
    r.emit_polygon = emit;
    PruneOptions options;
    options.minCells = 0;
    polygonizePruned(r, bound, options);
    EXPECT_GT(tokened, 1000);
    EXPECT_GT(untokened, 1000);
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(polygons, runOn(g, ball, {}).polygons);
}

TEST(PrunedPolygonizer, CoarseGridsAndEmptyBoundsRunPlain) {
    const Ball ball{{0.0f, 0.0f, 0.0f}, 1.2f};
    const Grid g{{-2, -2, -2}, {2, 2, 2}, {30, 30, 30}};
    int bounds = 0;
    auto bound = [&](const float lo[3], const float hi[3]) {
        ++bounds;
        return ball.bound(lo, hi);
    };
    PruneStats stats;
    const Recorded pruned = runOn(g, ball, bound, {}, &stats); // 30^3 cells: below the default
    EXPECT_EQ(bounds, 0);
    EXPECT_EQ(stats.skipped, 0);
    EXPECT_EQ(stats.evaluated, 31LL * 31 * 31);
    EXPECT_EQ(pruned.polygons, runOn(g, ball, {}).polygons);
}


// An interpreted object as sample and its interval bound as bound, as the mesh command wires
// them; failed evaluations give 0 and are counted, the first one's message kept.
struct Interpreted {
    explicit Interpreted(const lang::CompiledObject& o) : object(o), ws(o) {}
    const lang::CompiledObject& object;
    eval::Workspace ws;
    int failures = 0;
    std::string firstError;

    float operator()(float x, float y, float z) {
        ws.values[0] = x, ws.values[1] = y, ws.values[2] = z;
        float v = 0.0f;
        lang::RuntimeError error;
        if (eval::executeObject(object, ws.values.data(), ws.flags.data(), v, error) == 1) return v;
        if (failures++ == 0)
            firstError = std::string(error.message) + " " + std::to_string(error.line);
        return 0.0f;
    }
    ValueBound bound(const float lo[3], const float hi[3]) const {
        const lang::Interval in[3] = {{lo[0], hi[0]}, {lo[1], hi[1]}, {lo[2], hi[2]}};
        lang::Interval range;
        if (!lang::boundObject(object, in, range)) return {};
        return {range.lo, range.hi, true};
    }
};

// Objects built on each family of primitives, polygonized plainly and pruned: the same
// polygons, the pruned samples a subsequence of the plain ones with the same values, the same
// failures, no skipped cell that the plain run would visit, and some cells skipped.
TEST(PrunedPolygonizer, InterpretedPrimitiveFamiliesGiveTheSamePolygons) {
    const char* source = R"(
torus(x[3], a[0]) { array c[3]; c = [0.3, -0.2, 0.1]; torus = lvtorusz(x, c, 2, 0.6); }
cone(x[3], a[0]) {
    array c[3];
    c = [0, 0.2, 0];
    cone = lvconey(x, c, 0.5) & lvellipsoid(x, c, 2.5, 3, 2) & (x[2] + 2.9);
}
bar(x[3], a[0]) {
    array p[3], corner[3];
    corner = [-0.6, -0.6, -2];
    p[1] = x[1];
    p[2] = x[2];
    p[3] = x[3];
    t = lvrotate3dy(p, 0.3) + lvtwistz(p, -2, 2, 0, 1.5) + lvtaperz(p, -2, 2, 1, 0.5);
    bar = lvblock(p, corner, 1.2, 1.2, 4);
}
blobs(x[3], a[0]) {
    array xc[2], yc[2], zc[2], b[2], d[2];
    xc = [-1, 1.2];
    yc = [0, 0.3];
    zc = [0, 0];
    b = [1, 1];
    d = [2.4, 2];
    blobs = lvmetaball(x, xc, yc, zc, b, d, 0.3) + lvblobby(x, xc, yc, zc, d, b, 0.5) - 0.4;
}
spline(x[3], a[0]) {
    array box[6], k[27];
    box = [-3, -2, -1.5, 3, 2, 1.5];
    k = [-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 12, -1, -1, -1, -1,
         -1, -1, -1, -1, -1, -1, -1, -1, -1];
    spline = lvBezierSplineF(x, 3, 3, 3, box, k);
}
figure(x[3], a[0]) {
    array spine[9], ss[2], from[6], to[6], sl[2], head[3], sh[1];
    array hc[3], hr[1], ha[1], hx[3], ht[1], hs[1];
    spine = [0, 0, 2.4, 0, 0.2, 1.2, 0, 0, 0];
    ss = [2, 2];
    from = [0, 0, 2.1, 0, 0, 2.1];
    to = [-1.8, 0, 1, 1.8, 0, 1];
    sl = [2.5, 2.5];
    head = [0, 0, 3.1];
    sh = [1.4];
    hc = [0, 0, 3.8];
    hr = [0.6];
    ha = [360];
    hx = [0, 0, 1];
    ht = [0];
    hs = [5];
    figure = lvconvcurve(x, spine, ss, 0) + lvconvline(x, from, to, sl, 0)
        + lvconvpoint(x, head, sh, 0) + lvconvarc(x, hc, hr, ha, hx, ht, hs, 0) - 0.4;
}
warped(x[3], a[0]) {
    array p[3], c[3], points[6], shifts[6];
    c = [0, 0, 0];
    points = [2, 0, 0, -2, 0, 0];
    shifts = [0, 0, -0.8, -0.7, 0, 0];
    p[1] = x[1];
    p[2] = x[2];
    p[3] = x[3];
    m = lvSpaceMapCubic(p, points, shifts, 1.5);
    warped = lvtorusz(p, c, 2, 0.5) + lvnoiseg(x, 0.05, 6, 1);
}
tent(x[3], a[0]) {
    array v[15], t[12], s[4], mat[9], ms[1];
    v = [-2, -2, -2, 2, -2, -2, 2, 2, -2, -2, 2, -2, 0, 0, 1.5];
    t = [1, 2, 5, 2, 3, 5, 3, 4, 5, 4, 1, 5];
    s = [1, 1, 1, 1];
    mat = [-1, -2.5, -2, 1, -2.5, -2, 0, -3.8, -2];
    ms = [3];
    tent = lvconvmesh(x, v, t, s, 0) + lvconvtriangle(x, mat, ms, 0) - 2.5;
}
holes(x[3], a[0]) {
    array c[3];
    c = [0, 0, 0];
    holes = lvtorusx(x, c, 2, 0.7) + 1 / max(x[1] - 0.5, 0);
}
)";
    lang::ObjectList objects;
    std::vector<lang::CompileError> errors;
    ASSERT_EQ(lang::compileProgram(source, objects, errors, {}), 1);
    lang::setConvolutionBounds(true);
    struct Run {
        const char* name;
        Grid grid;
        float eps;
    };
    const Run runs[] = {
        {"torus", {{-3.5, -3.5, -1.5}, {3.5, 3.5, 1.5}, {20, 20, 10}}, 1e-6f},
        {"torus", {{-3.5, -3.5, -1.5}, {3.5, 3.5, 1.5}, {64, 64, 8}}, 0.3f},
        {"cone", {{-3, -3, -3}, {3, 3, 3}, {32, 32, 32}}, 1e-6f},
        {"bar", {{-2, -2, -2.5}, {2, 2, 2.5}, {36, 36, 24}}, 1e-6f},
        {"bar", {{-2, -2, -2.5}, {2, 2, 2.5}, {20, 20, 20}}, 0.01f},
        {"blobs", {{-4, -3, -3}, {4, 3, 3}, {40, 30, 30}}, 1e-6f},
        {"spline", {{-3.5, -2.5, -2}, {3.5, 2.5, 2}, {36, 28, 20}}, 1e-6f},
        {"figure", {{-3, -2, -4}, {3, 2, 4}, {30, 20, 40}}, 1e-6f},
        {"tent", {{-4, -5, -3.5}, {4, 3, 2.5}, {24, 24, 18}}, 1e-6f},
        {"tent", {{-4, -5, -3.5}, {4, 3, 2.5}, {32, 32, 24}}, 0.01f},
        {"holes", {{-3.5, -3.5, -1.5}, {3.5, 3.5, 1.5}, {40, 40, 16}}, 1e-6f},
        {"warped", {{-3.5, -3.5, -1.5}, {3.5, 3.5, 1.5}, {40, 40, 12}}, 1e-6f},
    };
    for (const Run& run : runs) {
        ASSERT_TRUE(lang::setEps(run.eps));
        const lang::CompiledObject& object = *lang::findObject(objects, run.name);
        Interpreted plainF(object), prunedF(object), boundF(object);
        auto plainSample = [&](float x, float y, float z) { return plainF(x, y, z); };
        auto prunedSample = [&](float x, float y, float z) { return prunedF(x, y, z); };
        auto bound = [&](const float lo[3], const float hi[3]) { return boundF.bound(lo, hi); };
        PruneOptions options;
        options.minCells = 0;
        PruneStats stats;
        const Recorded plain = runOn(run.grid, plainSample, {});
        const Recorded pruned = runOn(run.grid, prunedSample, bound, options, &stats);
        const std::string what = std::string(run.name) + " grid " + std::to_string(run.grid.n[0]);
        EXPECT_EQ(pruned.polygons, plain.polygons) << what;
        EXPECT_TRUE(isOrderedSubsequence(pruned, plain)) << what;
        EXPECT_EQ(prunedF.failures, plainF.failures) << what;
        EXPECT_EQ(prunedF.firstError, plainF.firstError) << what;
        EXPECT_EQ(wronglySkipped(run.grid, plain, bound, options), 0) << what;
        EXPECT_GT(stats.skipped, 0) << what << " bounds " << stats.bounds;
        EXPECT_FALSE(plain.polygons.empty()) << what;
    }
    lang::setConvolutionBounds(false);
    lang::setEps(lang::kDefaultEps);
}

} // namespace
} // namespace lv::poly
