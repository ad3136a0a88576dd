#include "export/density_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

#include "export/replacing_file.h"
#include "lang/interval.h"
#include "model/grid_sampler.h"

namespace lv::exporter {

namespace {

constexpr int kMaxDf3Points = 65535;
constexpr double kDensityHalf = 32767.0; // steps on each side of the midpoint 32767.5
constexpr double kDensityMax = 65535.0;
// Corner values further above the median crossed cell than this are clamped.
constexpr double kOutlierFactor = 64.0;

bool inside(float f) { return f >= 0.0f; } // NaN is outside

// Calls visit(corners) for every cell with its eight corner indices.
template <class Visit>
void forEachCell(const SampleGrid& g, Visit visit) {
    const std::size_t dx = 1, dy = static_cast<std::size_t>(g.pointsX());
    const std::size_t dz = dy * static_cast<std::size_t>(g.pointsY());
    for (int k = 0; k < g.nz; ++k)
        for (int j = 0; j < g.ny; ++j)
            for (int i = 0; i < g.nx; ++i) {
                const std::size_t c = g.index(i, j, k);
                const std::size_t corners[8] = {c,           c + dx,           c + dy,
                                                c + dx + dy, c + dz,           c + dz + dx,
                                                c + dz + dy, c + dz + dx + dy};
                visit(corners);
            }
}

void putBigEndian16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
    out.push_back(static_cast<char>(value & 0xFF));
}

} // namespace

std::size_t SampleGrid::pointCount() const {
    return static_cast<std::size_t>(pointsX()) * static_cast<std::size_t>(pointsY()) *
           static_cast<std::size_t>(pointsZ());
}

std::size_t SampleGrid::index(int i, int j, int k) const {
    return (static_cast<std::size_t>(k) * static_cast<std::size_t>(pointsY()) +
            static_cast<std::size_t>(j)) *
               static_cast<std::size_t>(pointsX()) +
           static_cast<std::size_t>(i);
}

bool SampleGrid::usable() const {
    const double bounds[6] = {xmin, ymin, zmin, xmax, ymax, zmax};
    for (double b : bounds)
        if (!std::isfinite(b)) return false;
    return nx >= 1 && ny >= 1 && nz >= 1 && nx < kMaxDf3Points && ny < kMaxDf3Points &&
           nz < kMaxDf3Points && xmin < xmax && ymin < ymax && zmin < zmax;
}

std::vector<double> gridPositions(double min, double max, int cells) {
    std::vector<double> positions;
    positions.reserve(static_cast<std::size_t>(cells) + 1);
    const double step = (max - min) / cells;
    double p = min;
    for (int i = 0; i <= cells; ++i, p += step) positions.push_back(p);
    return positions;
}

std::vector<float> sampleGrid(const SampleGrid& grid, const PlaneSampler& sample) {
    auto floats = [](const std::vector<double>& positions) {
        return std::vector<float>(positions.begin(), positions.end());
    };
    const std::vector<float> xs = floats(gridPositions(grid.xmin, grid.xmax, grid.nx));
    const std::vector<float> ys = floats(gridPositions(grid.ymin, grid.ymax, grid.ny));
    const std::vector<float> zs = floats(gridPositions(grid.zmin, grid.zmax, grid.nz));
    std::vector<float> values(grid.pointCount());
    for (int k = 0; k < grid.pointsZ(); ++k)
        sample(xs.data(), grid.pointsX(), ys.data(), grid.pointsY(),
               zs[static_cast<std::size_t>(k)], values.data() + grid.index(0, 0, k));
    return values;
}

std::vector<float> sampleGrid(const SampleGrid& grid, const Sampler& sample) {
    return sampleGrid(grid, [&sample](const float* xs, int nx, const float* ys, int ny, float z,
                                      float* out) {
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) *out++ = sample(xs[i], ys[j], z);
    });
}

namespace {

// Points per side of the blocks that are bounded first, and of the smallest ones that an
// undecided block is split into (by four along each axis).
constexpr int kCoarseBlock = 16;
constexpr int kFineBlock = 4;

// Sides of grid points as bits: kInside where F >= 0 is proven, kOutside where F < 0 is, both
// where nothing is proven.
constexpr std::uint8_t kInside = 1, kOutside = 2, kUnproven = kInside | kOutside;

// Proves sides for blocks of grid points into side; a proven point's value holds the end of
// its range nearest zero.
class BlockSides {
public:
    BlockSides(const SampleGrid& g, const BoxBound& bound, const std::vector<float>& xs,
               const std::vector<float>& ys, const std::vector<float>& zs,
               std::vector<float>& values, std::vector<std::uint8_t>& side, long long& bounds)
        : g_(g), bound_(bound), xs_(xs), ys_(ys), zs_(zs), values_(values), side_(side),
          bounds_(bounds) {}

    void run() {
        for (int k = 0; k < g_.pointsZ(); k += kCoarseBlock)
            for (int j = 0; j < g_.pointsY(); j += kCoarseBlock)
                for (int i = 0; i < g_.pointsX(); i += kCoarseBlock)
                    refine(i, std::min(g_.nx, i + kCoarseBlock - 1), j,
                           std::min(g_.ny, j + kCoarseBlock - 1), k,
                           std::min(g_.nz, k + kCoarseBlock - 1), kCoarseBlock);
    }

private:
    void refine(int i0, int i1, int j0, int j1, int k0, int k1, int size) {
        const float lo[3] = {xs_[static_cast<std::size_t>(i0)], ys_[static_cast<std::size_t>(j0)],
                             zs_[static_cast<std::size_t>(k0)]};
        const float hi[3] = {xs_[static_cast<std::size_t>(i1)], ys_[static_cast<std::size_t>(j1)],
                             zs_[static_cast<std::size_t>(k1)]};
        float min = 0.0f, max = 0.0f;
        ++bounds_;
        if (bound_(lo, hi, min, max) && min <= max && (min >= 0.0f || max < 0.0f)) {
            const std::uint8_t s = min >= 0.0f ? kInside : kOutside;
            const float v = min >= 0.0f ? min : max;
            for (int k = k0; k <= k1; ++k)
                for (int j = j0; j <= j1; ++j)
                    for (int i = i0; i <= i1; ++i) {
                        const std::size_t n = g_.index(i, j, k);
                        side_[n] = s;
                        values_[n] = v;
                    }
            return;
        }
        const int sub = size / 4;
        if (sub < kFineBlock) return;
        for (int k = k0; k <= k1; k += sub)
            for (int j = j0; j <= j1; j += sub)
                for (int i = i0; i <= i1; i += sub)
                    refine(i, std::min(i1, i + sub - 1), j, std::min(j1, j + sub - 1), k,
                           std::min(k1, k + sub - 1), sub);
    }

    const SampleGrid& g_;
    const BoxBound& bound_;
    const std::vector<float>& xs_;
    const std::vector<float>& ys_;
    const std::vector<float>& zs_;
    std::vector<float>& values_;
    std::vector<std::uint8_t>& side_;
    long long& bounds_;
};

// Spreads side to the 3 x 3 x 3 points around each point (bitwise or): afterwards a point holds
// kInside or kOutside alone exactly when every cell it is a corner of has all its corners
// proven on that side. One pass per axis, each with a copy of the line it overwrites.
void spreadSides(const SampleGrid& g, std::vector<std::uint8_t>& side) {
    const std::size_t px = static_cast<std::size_t>(g.pointsX());
    const std::size_t row = px, plane = px * static_cast<std::size_t>(g.pointsY());
    const std::size_t rows = static_cast<std::size_t>(g.pointsY()) * g.pointsZ();
    for (std::size_t r = 0; r < rows; ++r) { // along X
        std::uint8_t* line = side.data() + r * row;
        std::uint8_t before = 0;
        for (std::size_t i = 0; i < px; ++i) {
            const std::uint8_t own = line[i];
            line[i] = static_cast<std::uint8_t>(before | own | (i + 1 < px ? line[i + 1] : 0));
            before = own;
        }
    }
    // Along Y, then Z: whole lines of stride apart, count lines per group.
    auto across = [&side](std::size_t stride, std::size_t count, std::size_t groups,
                          std::size_t groupSize) {
        std::vector<std::uint8_t> before(stride), own(stride);
        for (std::size_t group = 0; group < groups; ++group) {
            std::uint8_t* base = side.data() + group * groupSize;
            std::fill(before.begin(), before.end(), 0);
            for (std::size_t l = 0; l < count; ++l) {
                std::uint8_t* line = base + l * stride;
                const std::uint8_t* next = l + 1 < count ? line + stride : nullptr;
                std::copy(line, line + stride, own.begin());
                if (next)
                    for (std::size_t i = 0; i < stride; ++i)
                        line[i] = static_cast<std::uint8_t>(before[i] | own[i] | next[i]);
                else
                    for (std::size_t i = 0; i < stride; ++i)
                        line[i] = static_cast<std::uint8_t>(before[i] | own[i]);
                before.swap(own);
            }
        }
    };
    across(row, static_cast<std::size_t>(g.pointsY()), static_cast<std::size_t>(g.pointsZ()),
           plane);
    across(plane, static_cast<std::size_t>(g.pointsZ()), 1, 0);
}

std::vector<float> floatsOf(const std::vector<double>& positions) {
    return std::vector<float>(positions.begin(), positions.end());
}

} // namespace

std::vector<float> sampleGridPruned(const SampleGrid& grid, const PlanePointsSampler& sample,
                                    const BoxBound& bound, int minCells,
                                    DensityPruneStats* stats) {
    DensityPruneStats counts;
    const long long cells = static_cast<long long>(std::max(grid.nx, 0)) *
                            std::max(grid.ny, 0) * std::max(grid.nz, 0);
    const long long least = static_cast<long long>(minCells) * minCells * minCells;
    if (!bound || cells < std::max(1LL, least)) {
        if (stats) stats->evaluated += static_cast<long long>(grid.pointCount());
        return sampleGrid(grid, [&sample](const float* xs, int nx, const float* ys, int ny,
                                          float z, float* out) {
            sample(xs, nx, ys, ny, z, out, nullptr, 0);
        });
    }
    const std::vector<float> xs = floatsOf(gridPositions(grid.xmin, grid.xmax, grid.nx));
    const std::vector<float> ys = floatsOf(gridPositions(grid.ymin, grid.ymax, grid.ny));
    const std::vector<float> zs = floatsOf(gridPositions(grid.zmin, grid.zmax, grid.nz));
    std::vector<float> values(grid.pointCount());
    std::vector<std::uint8_t> side(grid.pointCount(), kUnproven);
    BlockSides(grid, bound, xs, ys, zs, values, side, counts.bounds).run();
    spreadSides(grid, side);

    const std::size_t perPlane = static_cast<std::size_t>(grid.pointsX()) * grid.pointsY();
    std::vector<std::size_t> points;
    points.reserve(perPlane);
    auto samplePlane = [&](int k) {
        float* out = values.data() + grid.index(0, 0, k);
        counts.evaluated += static_cast<long long>(points.size());
        if (points.size() == perPlane)
            sample(xs.data(), grid.pointsX(), ys.data(), grid.pointsY(),
                   zs[static_cast<std::size_t>(k)], out, nullptr, 0);
        else if (!points.empty())
            sample(xs.data(), grid.pointsX(), ys.data(), grid.pointsY(),
                   zs[static_cast<std::size_t>(k)], out, points.data(), points.size());
    };
    // First the corners of every cell that may cross the surface: they are all the values
    // densityRange reads, since every other cell has its corners proven on one side.
    for (int k = 0; k < grid.pointsZ(); ++k) {
        points.clear();
        const std::size_t first = grid.index(0, 0, k);
        for (std::size_t n = first; n < first + perPlane; ++n)
            if (side[n] == kUnproven) points.push_back(n - first);
        samplePlane(k);
    }
    // Then the proven points whose range does not reach beyond the clamp: their density needs
    // their own value.
    const double range = densityRange(values, grid);
    for (int k = 0; k < grid.pointsZ(); ++k) {
        points.clear();
        const std::size_t first = grid.index(0, 0, k);
        for (std::size_t n = first; n < first + perPlane; ++n) {
            if (side[n] == kUnproven) continue;
            const double v = values[n];
            if (side[n] == kInside ? v < range : v > -range) points.push_back(n - first);
        }
        counts.ranged += static_cast<long long>(points.size());
        samplePlane(k);
    }
    counts.skipped = static_cast<long long>(grid.pointCount()) - counts.evaluated;
    if (stats) {
        stats->evaluated += counts.evaluated;
        stats->skipped += counts.skipped;
        stats->bounds += counts.bounds;
        stats->ranged += counts.ranged;
    }
    return values;
}

double densityRange(const std::vector<float>& values, const SampleGrid& grid) {
    std::vector<double> crossed; // the largest finite |F| of each crossed cell
    forEachCell(grid, [&](const std::size_t (&corners)[8]) {
        bool in = false, out = false;
        double largest = 0.0;
        for (std::size_t c : corners) {
            const float f = values[c];
            (inside(f) ? in : out) = true;
            if (std::isfinite(f)) largest = std::max(largest, std::fabs(static_cast<double>(f)));
        }
        if (in && out && largest > 0.0) crossed.push_back(largest);
    });
    if (crossed.empty()) return 1.0;
    auto middle = crossed.begin() + static_cast<std::ptrdiff_t>(crossed.size() / 2);
    std::nth_element(crossed.begin(), middle, crossed.end());
    const double cap = *middle * kOutlierFactor;
    double range = 0.0;
    for (double v : crossed)
        if (v <= cap) range = std::max(range, v);
    return range > 0.0 ? range : 1.0;
}

std::vector<std::uint16_t> densityValues(const std::vector<float>& values, double range) {
    std::vector<std::uint16_t> density(values.size());
    for (std::size_t n = 0; n < values.size(); ++n) {
        const float f = values[n];
        const double t = std::isnan(f) ? -1.0 : std::clamp(f / range, -1.0, 1.0);
        const long steps = std::lround(std::fabs(t) * kDensityHalf);
        density[n] = static_cast<std::uint16_t>(inside(f) ? 32768 + steps : 32767 - steps);
    }
    return density;
}

double densityMaxGradient(const std::vector<std::uint16_t>& density, const SampleGrid& grid) {
    const double hx = (grid.xmax - grid.xmin) / grid.nx;
    const double hy = (grid.ymax - grid.ymin) / grid.ny;
    const double hz = (grid.zmax - grid.zmin) / grid.nz;
    double largest = 0.0;
    // Along each axis the trilinear gradient component is an interpolation of the cell's four
    // differences along that axis, so its largest difference bounds it.
    forEachCell(grid, [&](const std::size_t (&c)[8]) {
        auto diff = [&](int a, int b) {
            return std::abs(static_cast<int>(density[c[b]]) - static_cast<int>(density[c[a]]));
        };
        const int gx = std::max({diff(0, 1), diff(2, 3), diff(4, 5), diff(6, 7)});
        const int gy = std::max({diff(0, 2), diff(1, 3), diff(4, 6), diff(5, 7)});
        const int gz = std::max({diff(0, 4), diff(1, 5), diff(2, 6), diff(3, 7)});
        const double x = gx / kDensityMax / hx, y = gy / kDensityMax / hy;
        const double z = gz / kDensityMax / hz;
        largest = std::max(largest, std::sqrt(x * x + y * y + z * z));
    });
    return largest;
}

std::string df3Bytes(const SampleGrid& grid, const std::vector<std::uint16_t>& density) {
    std::string bytes;
    bytes.reserve(6 + density.size() * 2);
    putBigEndian16(bytes, static_cast<unsigned>(grid.pointsX()));
    putBigEndian16(bytes, static_cast<unsigned>(grid.pointsY()));
    putBigEndian16(bytes, static_cast<unsigned>(grid.pointsZ()));
    for (std::uint16_t v : density) putBigEndian16(bytes, v);
    return bytes;
}

bool writeDf3File(const std::string& path, const SampleGrid& grid,
                  const std::vector<std::uint16_t>& density, std::string& error) {
    const std::string bytes = df3Bytes(grid, density);
    ReplacingFile file;
    return file.open(path, error) && file.write(bytes.data(), bytes.size(), error) &&
           file.commit(error);
}

std::vector<float> sampleObjectGrid(const SampleGrid& grid, model::GridSampler& sampler,
                                    bool prune, int minCells, DensityPruneStats* stats) {
    auto plane = [&sampler](const float* xs, int nx, const float* ys, int ny, float z,
                            float* out, const std::size_t* points, std::size_t count) {
        sampler.sample(xs, nx, ys, ny, &z, 1, out, points, count);
    };
    auto bound = [&sampler](const float lo[3], const float hi[3], float& min, float& max) {
        lang::Interval range;
        if (!sampler.bound(lo, hi, range)) return false;
        min = range.lo, max = range.hi;
        return true;
    };
    return sampleGridPruned(grid, plane, prune ? BoxBound(bound) : BoxBound(), minCells, stats);
}

} // namespace lv::exporter
