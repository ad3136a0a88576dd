#include "export/density_grid.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "export/replacing_file.h"

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

} // namespace lv::exporter
