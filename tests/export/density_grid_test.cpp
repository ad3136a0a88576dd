#include "export/density_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

#include "polygonize/polygonizer.h"
#include "tests/support/scratch_dir.h"

namespace lv::exporter {
namespace {

using Point = std::tuple<float, float, float>;

constexpr float kFailed = -1111111106560.0f; // a failed evaluation's far-outside value

float ball(float x, float y, float z) { return 9.0f - x * x - y * y - z * z; }

SampleGrid cube(int cells, double half = 5.0) {
    SampleGrid g;
    g.xmin = g.ymin = g.zmin = -half;
    g.xmax = g.ymax = g.zmax = half;
    g.nx = g.ny = g.nz = cells;
    return g;
}

std::vector<float> sampleBall(const SampleGrid& g) {
    return sampleGrid(g, Sampler(ball));
}

// Where the straight line through (0, a) and (1, b) crosses level.
double crossing(double a, double b, double level) { return (level - a) / (b - a); }

TEST(DensityGrid, SamplesTheSameFloatsAsThePolygonizer) {
    SampleGrid g;
    g.xmin = -1.3, g.xmax = 2.7, g.ymin = 0.1, g.ymax = 0.7, g.zmin = -3.0, g.zmax = 3.3;
    g.nx = 7, g.ny = 5, g.nz = 3;
    std::vector<Point> polygonized;
    auto record = [&](float x, float y, float z) {
        polygonized.emplace_back(x, y, z);
        return x - y + z;
    };
    poly::PolygonizeRequest r;
    r.xmin = g.xmin, r.xmax = g.xmax, r.ymin = g.ymin, r.ymax = g.ymax;
    r.zmin = g.zmin, r.zmax = g.zmax;
    r.nx = g.nx, r.ny = g.ny, r.nz = g.nz;
    r.sample = record;
    poly::polygonize(r);
    std::vector<Point> sampled;
    sampleGrid(g, Sampler([&](float x, float y, float z) {
                   sampled.emplace_back(x, y, z);
                   return 0.0f;
               }));
    // Both sample every grid point once, at bit-identical floats (in their own orders).
    std::sort(sampled.begin(), sampled.end());
    std::sort(polygonized.begin(), polygonized.end());
    EXPECT_EQ(sampled, polygonized);
}

TEST(DensityGrid, PlanesLandWhereTheirPointsBelong) {
    const SampleGrid g = cube(10);
    const std::vector<float> one = sampleBall(g);
    int planes = 0;
    const std::vector<float> byPlane =
        sampleGrid(g, [&](const float* xs, int nx, const float* ys, int ny, float z, float* out) {
            ++planes;
            for (int j = 0; j < ny; ++j)
                for (int i = 0; i < nx; ++i) out[j * nx + i] = ball(xs[i], ys[j], z);
        });
    EXPECT_EQ(planes, g.pointsZ());
    EXPECT_EQ(byPlane, one);
    EXPECT_EQ(one[g.index(5, 5, 5)], 9.0f); // the centre point (0, 0, 0)
}

TEST(DensityGrid, DensityCrossesTheThresholdWhereFCrossesZero) {
    const SampleGrid g = cube(10);
    std::vector<float> f = sampleBall(g);
    const double range = densityRange(f, g);
    const std::vector<std::uint16_t> d = densityValues(f, range);
    int crossings = 0;
    for (int k = 0; k <= g.nz; ++k)
        for (int j = 0; j <= g.ny; ++j)
            for (int i = 0; i < g.nx; ++i) {
                const std::size_t a = g.index(i, j, k), b = g.index(i + 1, j, k);
                if ((f[a] >= 0) == (f[b] >= 0)) {
                    EXPECT_EQ(d[a] >= 32768, d[b] >= 32768) << "a crossing appeared";
                    continue;
                }
                ++crossings;
                EXPECT_NEAR(crossing(d[a], d[b], 32767.5), crossing(f[a], f[b], 0.0), 1e-3);
            }
    EXPECT_GT(crossings, 20);
}

TEST(DensityGrid, AFailedSampleDoesNotFlattenTheOtherCells) {
    const SampleGrid g = cube(10);
    std::vector<float> f = sampleBall(g);
    const double plain = densityRange(f, g);
    f[g.index(5, 5, 2)] = kFailed; // a point inside the ball next to the surface
    EXPECT_EQ(densityRange(f, g), plain);
    const std::vector<std::uint16_t> d = densityValues(f, plain);
    EXPECT_EQ(d[g.index(5, 5, 2)], 0);
    // With the sphere's values only, the range is the largest corner of a crossed cell.
    EXPECT_GT(plain, 0.0);
    EXPECT_LT(plain, 16.0);
    // Nothing crossed: any positive range will do.
    EXPECT_EQ(densityRange(std::vector<float>(g.pointCount(), -1.0f), g), 1.0);
}

TEST(DensityGrid, DensityIsMonotoneAndKeepsEverySign) {
    const std::vector<float> f = {-INFINITY, kFailed, -50.0f, -1.0f, -1e-30f, -0.0f, 0.0f,
                                  1e-30f,    0.25f,   1.0f,   50.0f, INFINITY};
    const std::vector<std::uint16_t> d = densityValues(f, 2.0);
    for (std::size_t i = 0; i < f.size(); ++i) {
        EXPECT_EQ(d[i] >= 32768, f[i] >= 0.0f) << f[i];
        if (i > 0) {
            EXPECT_GE(d[i], d[i - 1]) << f[i];
        }
    }
    EXPECT_EQ(d.front(), 0);
    EXPECT_EQ(d.back(), 65535);
    EXPECT_EQ(d[2], 0); // clamped beyond the range
    EXPECT_EQ(densityValues({NAN}, 1.0)[0], 0); // not a number: outside
}

// The trilinear interpolation of density / 65535 at (x, y, z).
double trilinear(const std::vector<std::uint16_t>& d, const SampleGrid& g, double x, double y,
                 double z) {
    const double u = (x - g.xmin) / (g.xmax - g.xmin) * g.nx;
    const double v = (y - g.ymin) / (g.ymax - g.ymin) * g.ny;
    const double w = (z - g.zmin) / (g.zmax - g.zmin) * g.nz;
    const int i = std::min(static_cast<int>(u), g.nx - 1);
    const int j = std::min(static_cast<int>(v), g.ny - 1);
    const int k = std::min(static_cast<int>(w), g.nz - 1);
    const double fu = u - i, fv = v - j, fw = w - k;
    double sum = 0.0;
    for (int c = 0; c < 8; ++c) {
        const int a = c & 1, b = (c >> 1) & 1, e = (c >> 2) & 1;
        sum += d[g.index(i + a, j + b, k + e)] * (a ? fu : 1 - fu) * (b ? fv : 1 - fv) *
               (e ? fw : 1 - fw);
    }
    return sum / 65535.0;
}

TEST(DensityGrid, MaxGradientBoundsTheInterpolatedDensityClosely) {
    SampleGrid g = cube(12);
    g.xmax = 9.0; // cells of different lengths along the axes
    const std::vector<float> f = sampleBall(g);
    const std::vector<std::uint16_t> d = densityValues(f, densityRange(f, g));
    const double bound = densityMaxGradient(d, g);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> ux(g.xmin + 0.01, g.xmax - 0.01);
    std::uniform_real_distribution<double> uyz(g.ymin + 0.01, g.ymax - 0.01);
    double steepest = 0.0;
    const double h = 1e-4;
    for (int n = 0; n < 20000; ++n) {
        const double x = ux(random), y = uyz(random), z = uyz(random);
        const double gx = (trilinear(d, g, x + h, y, z) - trilinear(d, g, x - h, y, z)) / (2 * h);
        const double gy = (trilinear(d, g, x, y + h, z) - trilinear(d, g, x, y - h, z)) / (2 * h);
        const double gz = (trilinear(d, g, x, y, z + h) - trilinear(d, g, x, y, z - h)) / (2 * h);
        steepest = std::max(steepest, std::sqrt(gx * gx + gy * gy + gz * gz));
    }
    EXPECT_GE(bound, steepest * 0.999);
    EXPECT_LT(bound, steepest * 2.0); // a loose bound would make the tracer slow
    EXPECT_EQ(densityMaxGradient(std::vector<std::uint16_t>(g.pointCount(), 7), g), 0.0);
}

TEST(DensityGrid, Df3FileIsBigEndianWithXFastest) {
    SampleGrid g = cube(1);
    g.nx = 2; // 3 x 2 x 2 points
    std::vector<std::uint16_t> d(g.pointCount());
    for (std::size_t i = 0; i < d.size(); ++i) d[i] = static_cast<std::uint16_t>(0x0100 * i + 1);
    const std::string bytes = df3Bytes(g, d);
    ASSERT_EQ(bytes.size(), 6 + 2 * 12u);
    EXPECT_EQ(bytes.substr(0, 6), std::string("\0\3\0\2\0\2", 6));
    EXPECT_EQ(bytes.substr(6, 4), std::string("\0\1\1\1", 4)); // points (0,0,0) then (1,0,0)
    EXPECT_EQ(static_cast<unsigned char>(bytes[6 + 2 * g.index(2, 1, 1)]), 0x0B);

    test::ScratchDir dir;
    std::string error;
    ASSERT_TRUE(writeDf3File(dir.file("a.df3"), g, d, error)) << error;
    const std::vector<std::uint8_t> written = test::readBytes(dir.file("a.df3"));
    EXPECT_EQ(std::string(written.begin(), written.end()), bytes);
    EXPECT_FALSE(writeDf3File(dir.file("none/a.df3"), g, d, error));
    EXPECT_NE(error.find("none/a.df3"), std::string::npos) << error;
}

TEST(DensityGrid, UnusableGridsAreRecognised) {
    EXPECT_TRUE(cube(4).usable());
    SampleGrid flat = cube(4);
    flat.zmax = flat.zmin;
    EXPECT_FALSE(flat.usable());
    SampleGrid none = cube(0);
    EXPECT_FALSE(none.usable());
    SampleGrid huge = cube(65535); // 65536 points do not fit the file's header
    EXPECT_FALSE(huge.usable());
    SampleGrid infinite = cube(4);
    infinite.xmax = INFINITY;
    EXPECT_FALSE(infinite.usable());
}

} // namespace
} // namespace lv::exporter
