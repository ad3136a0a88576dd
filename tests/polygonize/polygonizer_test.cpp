#include "polygonize/polygonizer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

namespace {

using lv::poly::polygonize;
using lv::poly::PolygonizeRequest;
using lv::poly::SampleFn;

struct P3 {
    double x, y, z;
};

struct Polygon {
    int count = 0;
    P3 v[4];
};

struct Recorder {
    std::vector<Polygon> polygons;
    void operator()(const double* xs, const double* ys, const double* zs, int count) {
        Polygon p;
        p.count = count;
        for (int i = 0; i < count; ++i) {
            p.v[i] = {xs[i], ys[i], zs[i]};
        }
        polygons.push_back(p);
    }
};

// Corner offsets c1..c8 and edges e1..e12 of the cell, numbered as the polygonizer numbers them.
constexpr int kCX[8] = {0, 0, 1, 1, 0, 0, 1, 1};
constexpr int kCY[8] = {0, 1, 1, 0, 0, 1, 1, 0};
constexpr int kCZ[8] = {0, 0, 0, 0, 1, 1, 1, 1};
constexpr int kEdge[13][2] = {{0, 0}, {1, 2}, {2, 3}, {3, 4}, {4, 1}, {5, 6}, {6, 7},
                              {7, 8}, {8, 5}, {1, 5}, {2, 6}, {3, 7}, {4, 8}};

// F of a single cell [0, size]^3 with prescribed values at the corners c1..c8.
struct OneCell {
    std::array<double, 8> f{};
    double size = 1.0;             // along Y and Z
    double width = 1.0;            // along X

    float operator()(float x, float y, float z) const {
        const int cx = x > width / 2, cy = y > size / 2, cz = z > size / 2;
        for (int i = 0; i < 8; ++i) {
            if (kCX[i] == cx && kCY[i] == cy && kCZ[i] == cz) {
                return static_cast<float>(f[i]);
            }
        }
        return 0.0f;
    }

    double value(int corner) const { // adjusted as the polygonizer does
        const double v = static_cast<float>(f[corner - 1]);
        return std::fabs(v) < 0.00001 ? v + 0.0001 : v;
    }

    // The crossing point of edge e (1..12): linear interpolation of F along the edge.
    P3 crossing(int e) const {
        const int a = kEdge[e][0], b = kEdge[e][1];
        const double fa = value(a), fb = value(b);
        const double t = (0 - fa) / (fb - fa);
        auto at = [&](int offA, int offB, double extent) {
            const double pa = offA * extent, pb = offB * extent;
            return pa + t * (pb - pa);
        };
        return {at(kCX[a - 1], kCX[b - 1], width), at(kCY[a - 1], kCY[b - 1], size),
                at(kCZ[a - 1], kCZ[b - 1], size)};
    }
};

std::vector<Polygon> runCell(const OneCell& cell) {
    Recorder recorder;
    PolygonizeRequest r;
    r.xmax = cell.width;
    r.ymax = r.zmax = cell.size;
    r.nx = r.ny = r.nz = 1;
    r.sample = cell;
    r.emit_polygon = recorder;
    polygonize(r);
    return recorder.polygons;
}

// Checks that polygon p has exactly the crossings of the given edges, in order.
void expectEdges(const OneCell& cell, const Polygon& p, std::vector<int> edges) {
    ASSERT_EQ(p.count, static_cast<int>(edges.size()));
    for (int i = 0; i < p.count; ++i) {
        const P3 q = cell.crossing(edges[i]);
        EXPECT_EQ(p.v[i].x, q.x) << "vertex " << i << " edge e" << edges[i];
        EXPECT_EQ(p.v[i].y, q.y) << "vertex " << i << " edge e" << edges[i];
        EXPECT_EQ(p.v[i].z, q.z) << "vertex " << i << " edge e" << edges[i];
    }
}

OneCell cellWith(std::array<double, 8> f, double size = 1.0) {
    OneCell c;
    c.f = f;
    c.size = c.width = size;
    return c;
}

TEST(Polygonizer, SinglePositiveCornerGivesTriangleE1E4E9) {
    const OneCell cell = cellWith({1, -1, -1, -1, -1, -1, -1, -1});
    const auto polygons = runCell(cell);
    ASSERT_EQ(polygons.size(), 1u);
    expectEdges(cell, polygons[0], {1, 4, 9});
    EXPECT_EQ(polygons[0].v[0].y, 0.5);
    EXPECT_EQ(polygons[0].v[1].x, 0.5);
    EXPECT_EQ(polygons[0].v[2].z, 0.5);
}

TEST(Polygonizer, OnePositiveFaceGivesOneQuadrilateral) {
    const OneCell cell = cellWith({1, 2, 3, 4, -1, -2, -3, -4});
    const auto polygons = runCell(cell);
    ASSERT_EQ(polygons.size(), 1u);
    expectEdges(cell, polygons[0], {9, 12, 11, 10});
}

TEST(Polygonizer, ZeroAndNearZeroCornersCountAsInside) {
    // Exactly 0 at c1: inside, so c1 alone is inside (box large enough to keep the triangle).
    const OneCell zero = cellWith({0, -1, -1, -1, -1, -1, -1, -1}, 100.0);
    const auto polygons = runCell(zero);
    ASSERT_EQ(polygons.size(), 1u);
    expectEdges(zero, polygons[0], {1, 4, 9});
    // Everything else positive and c1 within 0.00001 below zero: all inside, nothing emitted.
    EXPECT_TRUE(runCell(cellWith({-0.000009, 1, 1, 1, 1, 1, 1, 1})).empty());
    EXPECT_TRUE(runCell(cellWith({0, 0, 0, 0, 0, 0, 0, 0})).empty());
    // Just outside the tolerance, c1 counts as outside again.
    EXPECT_EQ(runCell(cellWith({-0.00002, 1, 1, 1, 1, 1, 1, 1}, 100.0)).size(), 1u);
}

TEST(Polygonizer, AllOneSideEmitsNothing) {
    EXPECT_TRUE(runCell(cellWith({1, 2, 3, 4, 5, 6, 7, 8})).empty());
    EXPECT_TRUE(runCell(cellWith({-1, -2, -3, -4, -5, -6, -7, -8})).empty());
}

// Face z = z0 with c1, c3 inside and c2, c4 outside; the upper corners are outside.
// t(e2) = c / (b + c) and D / E = (a + c) / (a + b + c + d).
OneCell saddle(double a, double b, double c, double d) {
    return cellWith({a, -c, b, -d, -1, -1, -1, -1});
}

TEST(Polygonizer, AmbiguousFaceJoinsInsideCornersWhenSaddleAboveCrossing) {
    const OneCell cell = saddle(3, 1, 1, 1); // D/E = 4/6 > t(e2) = 1/2
    const auto polygons = runCell(cell);
    // connect(e1, e2), connect(e3, e4): one loop of six crossings, cut into two quadrilaterals
    // that share the start crossing e1.
    ASSERT_EQ(polygons.size(), 2u);
    expectEdges(cell, polygons[0], {1, 2, 11, 3});
    expectEdges(cell, polygons[1], {1, 3, 4, 9});
}

TEST(Polygonizer, AmbiguousFaceSeparatesInsideCornersWhenSaddleBelowCrossing) {
    const OneCell cell = saddle(1, 1, 1, 3); // D/E = 2/6 < t(e2) = 1/2
    const auto polygons = runCell(cell);
    ASSERT_EQ(polygons.size(), 2u);
    expectEdges(cell, polygons[0], {1, 4, 9});
    expectEdges(cell, polygons[1], {2, 3, 11});
}

TEST(Polygonizer, AmbiguousFaceWithSaddleEqualToCrossingSeparates) {
    const OneCell equal = saddle(3, 1, 1, 3); // D/E = 4/8 == t(e2) = 1/2 exactly
    ASSERT_EQ(4.0 / 8.0, 1.0 / 2.0);
    const auto polygons = runCell(equal);
    ASSERT_EQ(polygons.size(), 2u);
    expectEdges(equal, polygons[0], {1, 4, 9});
    expectEdges(equal, polygons[1], {2, 3, 11});
    // A hair above equality flips the pairing.
    const auto above = runCell(saddle(3, 1, 1, 2.9990234375));
    ASSERT_EQ(above.size(), 2u);
    EXPECT_EQ(above[0].count, 4);
}

TEST(Polygonizer, LoopOfFiveIsQuadrilateralThenTriangle) {
    // c1, c2, c3 inside: crossings e3, e4, e9, e10, e11 form one loop.
    const OneCell cell = cellWith({1, 1, 1, -1, -1, -1, -1, -1});
    const auto polygons = runCell(cell);
    ASSERT_EQ(polygons.size(), 2u);
    expectEdges(cell, polygons[0], {3, 4, 9, 10});
    expectEdges(cell, polygons[1], {3, 10, 11});
}

TEST(Polygonizer, LoopOfSixIsTwoQuadrilateralsSharingTheStart) {
    // c1, c2, c3, c6 inside: a loop of six crossings e3, e4, e9, e5, e6, e11.
    const OneCell cell = cellWith({2, 1, 1, -1, -1, 1, -1, -1});
    const auto polygons = runCell(cell);
    ASSERT_EQ(polygons.size(), 2u);
    expectEdges(cell, polygons[0], {3, 4, 9, 5});
    expectEdges(cell, polygons[1], {3, 5, 6, 11});
}

TEST(Polygonizer, CloseCrossingsTurnQuadrilateralIntoTriangle) {
    // c1, c2 inside with c1 barely so: e4 and e9 cross within 0.0001 of c1. The traced quad
    // e2, e4, e9, e10 has one close pair (1, 2): vertex 2 takes vertex 3's place.
    const OneCell cell = cellWith({0.0001, 1, -1, -1, -1, -1, -1, -1});
    const auto polygons = runCell(cell);
    ASSERT_EQ(polygons.size(), 1u);
    expectEdges(cell, polygons[0], {2, 4, 10});
    // Still the same vertex at 0.0009 in two coordinates; not at 0.0011.
    const OneCell near = cellWith({0.0009, 1, -1, -1, -1, -1, -1, -1});
    ASSERT_EQ(runCell(near).size(), 1u);
    expectEdges(near, runCell(near)[0], {2, 4, 10});
    const OneCell apart = cellWith({0.0011, 1, -1, -1, -1, -1, -1, -1});
    ASSERT_EQ(runCell(apart).size(), 1u);
    expectEdges(apart, runCell(apart)[0], {2, 4, 9, 10});
}

TEST(Polygonizer, TriangleWithCloseCrossingsIsDropped) {
    EXPECT_TRUE(runCell(cellWith({0.0001, -1, -1, -1, -1, -1, -1, -1})).empty());
    // Exactly two close pairs in a quadrilateral: in a cell 0.0005 wide along X the quad
    // e9, e12, e11, e10 has e9 ~ e12 and e11 ~ e10.
    OneCell thin = cellWith({1, 2, 3, 4, -1, -2, -3, -4});
    thin.width = 0.0005;
    EXPECT_TRUE(runCell(thin).empty());
    thin.width = 0.0011; // just wide enough: the quad survives whole
    ASSERT_EQ(runCell(thin).size(), 1u);
    expectEdges(thin, runCell(thin)[0], {9, 12, 11, 10});
}

TEST(Polygonizer, InconsistentLinksDropTheCellSilently) {
    // c2 inside, but e1's crossing parameter rounds to 1 (c1 is huge): e2 and e10 are linked
    // on one face only and the trace meets an open slot.
    EXPECT_TRUE(runCell(cellWith({-1e20, 1, -1, -1, -1, -1, -1, -1})).empty());
}

TEST(Polygonizer, ZeroSlicesMakesNoCallbacks) {
    int calls = 0;
    auto sample = [&](float, float, float) {
        ++calls;
        return 1.0f;
    };
    auto emit = [&](const double*, const double*, const double*, int) { ++calls; };
    auto done = [&](void*, int) { ++calls; };
    PolygonizeRequest r;
    r.xmax = r.ymax = r.zmax = 1;
    r.nx = r.ny = 4;
    r.nz = 0;
    r.sample = sample;
    r.emit_polygon = emit;
    r.slice_done = done;
    polygonize(r);
    EXPECT_EQ(calls, 0);
    // Other unusable requests are just as quiet.
    for (int variant = 0; variant < 5; ++variant) {
        PolygonizeRequest bad = r;
        bad.nz = 3;
        if (variant == 0) bad.nx = 0;
        if (variant == 1) bad.ny = -2;
        if (variant == 2) bad.xmin = 2; // min > max
        if (variant == 3) bad.zmax = std::nan("");
        if (variant == 4) bad.sample = {};
        polygonize(bad);
        EXPECT_EQ(calls, 0) << "variant " << variant;
    }
}

TEST(Polygonizer, SliceDoneFollowsEverySliceEvenWhenEmpty) {
    std::vector<int> slices;
    int emitted = 0;
    long samples = 0;
    int token = 0;
    auto sample = [&](float, float, float) {
        ++samples;
        return -1.0f;
    };
    auto emit = [&](const double*, const double*, const double*, int) { ++emitted; };
    auto done = [&](void* context, int slice) {
        EXPECT_EQ(context, &token);
        slices.push_back(slice);
    };
    PolygonizeRequest r;
    r.xmax = r.ymax = r.zmax = 1;
    r.nx = 3;
    r.ny = 4;
    r.nz = 7;
    r.sample = sample;
    r.emit_polygon = emit;
    r.slice_done = done;
    r.context = &token;
    polygonize(r);
    EXPECT_EQ(slices, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(emitted, 0);
    EXPECT_EQ(samples, 4L * 5 * 8); // every grid point exactly once
}

TEST(Polygonizer, AStopRequestEndsTheRunAfterTheCurrentSlice) {
    std::vector<int> slices;
    auto sample = [](float, float, float) { return -1.0f; };
    auto done = [&](void*, int slice) { slices.push_back(slice); };
    auto stop = [&] { return slices.size() == 3; };
    PolygonizeRequest r;
    r.xmax = r.ymax = r.zmax = 1;
    r.nx = r.ny = 2;
    r.nz = 10;
    r.sample = sample;
    r.slice_done = done;
    r.stop_requested = stop;
    polygonize(r);
    EXPECT_EQ(slices, (std::vector<int>{1, 2, 3}));
}

TEST(Polygonizer, GridPositionsAreAccumulatedAndCoverTheBox) {
    const double xmin = -1.3, xmax = 2.7, ymin = 0.1, ymax = 5.3, zmin = -0.2, zmax = 0.9;
    const int nx = 10, ny = 40, nz = 3;
    struct Call {
        float x, y, z;
    };
    std::vector<Call> calls;
    auto sample = [&](float x, float y, float z) {
        calls.push_back({x, y, z});
        return 0.37f - z; // a plane: every cell column is crossed once
    };
    Recorder recorder;
    PolygonizeRequest r;
    r.xmin = xmin, r.xmax = xmax, r.ymin = ymin, r.ymax = ymax, r.zmin = zmin, r.zmax = zmax;
    r.nx = nx, r.ny = ny, r.nz = nz;
    r.sample = sample;
    r.emit_polygon = recorder;
    polygonize(r);

    const double dx = (xmax - xmin) / nx, dy = (ymax - ymin) / ny, dz = (zmax - zmin) / nz;
    std::vector<double> xs, ys, zs;
    for (double x = xmin; xs.size() <= static_cast<std::size_t>(nx); x += dx) xs.push_back(x);
    for (double y = ymin; ys.size() <= static_cast<std::size_t>(ny); y += dy) ys.push_back(y);
    for (double z = zmin; zs.size() <= static_cast<std::size_t>(nz); z += dz) zs.push_back(z);
    EXPECT_EQ(xs.front(), xmin);
    EXPECT_NEAR(xs.back(), xmax, 1e-12);
    EXPECT_EQ(ys.front(), ymin);
    EXPECT_NEAR(ys.back(), ymax, 1e-12);

    // Slice 1 samples lower and upper plane point by point; later slices only the upper one.
    std::vector<Call> expected;
    for (int i = 1; i <= nz; ++i) {
        for (int row = 0; row <= ny; ++row) {
            for (int col = 0; col <= nx; ++col) {
                const float x = static_cast<float>(xs[col]), y = static_cast<float>(ys[row]);
                if (i == 1) {
                    expected.push_back({x, y, static_cast<float>(zs[0])});
                }
                expected.push_back({x, y, static_cast<float>(zs[i - 1] + dz)});
            }
        }
    }
    ASSERT_EQ(calls.size(), expected.size());
    for (std::size_t n = 0; n < calls.size(); ++n) {
        ASSERT_EQ(calls[n].x, expected[n].x) << n;
        ASSERT_EQ(calls[n].y, expected[n].y) << n;
        ASSERT_EQ(calls[n].z, expected[n].z) << n;
    }
    // Cell corners are the same accumulated positions: every crossing of the plane lies on a
    // vertical grid edge, at exactly the accumulated x and y.
    ASSERT_EQ(recorder.polygons.size(), static_cast<std::size_t>(nx * ny));
    const std::set<double> gridX(xs.begin(), xs.end()), gridY(ys.begin(), ys.end());
    for (const Polygon& p : recorder.polygons) {
        for (int m = 0; m < p.count; ++m) {
            EXPECT_TRUE(gridX.count(p.v[m].x)) << p.v[m].x;
            EXPECT_TRUE(gridY.count(p.v[m].y)) << p.v[m].y;
        }
    }
}

float sphereF(float x, float y, float z) {
    const double dx = x - 0.031, dy = y + 0.017, dz = z - 0.023;
    return static_cast<float>(0.7 * 0.7 - (dx * dx + dy * dy + dz * dz));
}

std::vector<Polygon> runGrid(SampleFn f, int n, double lo = -1.0, double hi = 1.0) {
    Recorder recorder;
    PolygonizeRequest r;
    r.xmin = r.ymin = r.zmin = lo;
    r.xmax = r.ymax = r.zmax = hi;
    r.nx = r.ny = r.nz = n;
    r.sample = f;
    r.emit_polygon = recorder;
    polygonize(r);
    return recorder.polygons;
}

bool sameBits(const std::vector<Polygon>& a, const std::vector<Polygon>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].count != b[i].count ||
            std::memcmp(a[i].v, b[i].v, sizeof(P3) * a[i].count) != 0) {
            return false;
        }
    }
    return true;
}

TEST(Polygonizer, SameInputGivesSamePolygonsBitForBitEvenInParallel) {
    const auto first = runGrid(sphereF, 23);
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(sameBits(first, runGrid(sphereF, 23)));
    std::vector<Polygon> a, b;
    std::thread ta([&] { a = runGrid(sphereF, 23); });
    std::thread tb([&] { b = runGrid(sphereF, 23); });
    ta.join();
    tb.join();
    EXPECT_TRUE(sameBits(first, a));
    EXPECT_TRUE(sameBits(first, b));
}

// FNV-1a over the counts and the coordinates' bits, in emission order.
std::uint64_t fingerprint(const std::vector<Polygon>& polygons) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    auto mix = [&h](const void* data, std::size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) {
            h = (h ^ p[i]) * 0x100000001b3ull;
        }
    };
    for (const Polygon& p : polygons) {
        mix(&p.count, sizeof p.count);
        mix(p.v, sizeof(P3) * p.count);
    }
    return h;
}

TEST(Polygonizer, OutputIsTheSameOnEveryBuild) {
    // Debug, release and sanitizer builds must agree to the bit: a change here means the
    // arithmetic of the grid, the crossings or the tracing changed.
    const auto polygons = runGrid(sphereF, 23);
    EXPECT_EQ(polygons.size(), 1487u);
    EXPECT_EQ(fingerprint(polygons), 791966744949827575ull);
}

double triangleArea(const P3& a, const P3& b, const P3& c) {
    const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    const double cx = uy * vz - uz * vy, cy = uz * vx - ux * vz, cz = ux * vy - uy * vx;
    return 0.5 * std::sqrt(cx * cx + cy * cy + cz * cz);
}

double area(const std::vector<Polygon>& polygons) {
    double total = 0.0;
    for (const Polygon& p : polygons) {
        total += triangleArea(p.v[0], p.v[1], p.v[2]);
        if (p.count == 4) {
            total += triangleArea(p.v[0], p.v[2], p.v[3]);
        }
    }
    return total;
}

TEST(Polygonizer, SphereVerticesLieOnTheSphere) {
    for (int n : {10, 25, 60}) {
        const double h = 2.0 / n;
        double worst = 0.0;
        const auto polygons = runGrid(sphereF, n);
        ASSERT_FALSE(polygons.empty());
        for (const Polygon& p : polygons) {
            for (int i = 0; i < p.count; ++i) {
                const double dx = p.v[i].x - 0.031, dy = p.v[i].y + 0.017,
                             dz = p.v[i].z - 0.023;
                worst = std::max(worst, std::fabs(std::sqrt(dx * dx + dy * dy + dz * dz) - 0.7));
            }
        }
        // Linear interpolation of r^2 - d^2 along an edge errs by at most h^2 / (8 r) or so.
        EXPECT_LT(worst, h * h / (4 * 0.7) + 1e-6) << "n = " << n;
    }
}

TEST(Polygonizer, SphereAreaConvergesToFourPiRSquared) {
    const double exact = 4 * M_PI * 0.7 * 0.7;
    double previous = 1e9;
    for (int n : {10, 20, 40, 80}) {
        const double error = std::fabs(area(runGrid(sphereF, n)) - exact) / exact;
        EXPECT_LT(error, previous) << "n = " << n;
        previous = error;
    }
    EXPECT_LT(previous, 0.01);
}

TEST(Polygonizer, FunctionRefRefusesDanglingTemporaries) {
    int state = 0;
    auto stateful = [&state](float, float, float) { return static_cast<float>(state); };
    static_assert(std::is_constructible_v<SampleFn, decltype(stateful)&>);
    static_assert(!std::is_constructible_v<SampleFn, decltype(stateful)&&>);
    static_assert(std::is_constructible_v<SampleFn, decltype(&sphereF)>);
    auto stateless = [](float, float, float) { return 1.0f; };
    static_assert(std::is_constructible_v<SampleFn, decltype(stateless)&&>);
    SampleFn ref = stateful;
    state = 3;
    EXPECT_EQ(ref(0, 0, 0), 3.0f);
    EXPECT_FALSE(SampleFn{});
}

} // namespace

namespace {

// The block sampler replaces point sampling without changing a polygon: same positions, same
// order of visits (recorded), same polygons bit for bit.
TEST(Polygonizer, BlockSamplingGivesThePointByPointRun) {
    auto f = [](float x, float y, float z) {
        return 2.0f - x * x - 0.7f * y * y - 1.3f * z * z + 0.1f * std::sin(5.0f * x * y);
    };
    std::vector<std::array<float, 3>> pointVisits, blockVisits;
    auto point = [&](float x, float y, float z) {
        pointVisits.push_back({x, y, z});
        return f(x, y, z);
    };
    auto block = [&](const lv::poly::SampleBlock& b) {
        for (int r = 0, i = 0; r < b.rows; ++r)
            for (int c = 0; c < b.cols; ++c)
                for (int p = 0; p < b.planes; ++p, ++i) {
                    blockVisits.push_back({b.xs[c], b.ys[r], b.zs[p]});
                    b.values[i] = f(b.xs[c], b.ys[r], b.zs[p]);
                }
    };
    Recorder byPoint, byBlock;
    PolygonizeRequest r;
    r.xmin = -2.1, r.xmax = 1.9, r.ymin = -2.3, r.ymax = 2.0, r.zmin = -1.7, r.zmax = 1.6;
    r.nx = 13, r.ny = 11, r.nz = 9;
    r.sample = point;
    r.emit_polygon = byPoint;
    polygonize(r);
    r.sample_block = block;
    r.emit_polygon = byBlock;
    polygonize(r);
    ASSERT_GT(byPoint.polygons.size(), 50u);
    ASSERT_EQ(byPoint.polygons.size(), byBlock.polygons.size());
    EXPECT_TRUE(sameBits(byPoint.polygons, byBlock.polygons)); // not the unused vertices
    EXPECT_TRUE(pointVisits == blockVisits);
}

} // namespace
