#pragma once
// An object's F sampled on a regular grid and turned into a 16-bit density volume that a stock
// ray tracer draws as an isosurface: the grid, the clamp of F to a density that keeps its zero
// crossing, a bound of the density's gradient, and the big-endian df3 file that holds it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lv::model {
class GridSampler;
}

namespace lv::exporter {

// A box divided into nx x ny x nz cells; each axis has cells + 1 sample points.
struct SampleGrid {
    double xmin = -1.0, ymin = -1.0, zmin = -1.0;
    double xmax = 1.0, ymax = 1.0, zmax = 1.0;
    int nx = 25, ny = 25, nz = 25;

    int pointsX() const { return nx + 1; }
    int pointsY() const { return ny + 1; }
    int pointsZ() const { return nz + 1; }
    std::size_t pointCount() const;
    // Index of point (i, j, k): X fastest, then Y, then Z.
    std::size_t index(int i, int j, int k) const;
    // True for counts of at least 1, finite bounds with min < max on every axis, and at most
    // 65535 points per axis (the df3 header's limit).
    bool usable() const;
};

// The coordinates of the sample points along one axis: min, then repeated additions of the cell
// size (max - min) / cells in double, exactly as the polygonizer steps, so both sample F at the
// same floats.
std::vector<double> gridPositions(double min, double max, int cells);

// A sampler of F at (x, y, z).
using Sampler = std::function<float(float x, float y, float z)>;
// Samples F at every (xs[i], ys[j], z) into out[j * nx + i]: one Z plane of the grid.
using PlaneSampler =
    std::function<void(const float* xs, int nx, const float* ys, int ny, float z, float* out)>;

// F at every point of grid in index order, one Z plane at a time through sample (which may
// share a plane among threads). Throws std::bad_alloc when the grid does not fit in memory.
std::vector<float> sampleGrid(const SampleGrid& grid, const PlaneSampler& sample);
// The same through a sampler of single points.
std::vector<float> sampleGrid(const SampleGrid& grid, const Sampler& sample);

// A sampler of listed points of one Z plane: F at (xs[i], ys[j], z) into out[j * nx + i] for
// each of the count indexes j * nx + i in points (increasing), the other entries left as they
// are; every point of the plane when points is null.
using PlanePointsSampler =
    std::function<void(const float* xs, int nx, const float* ys, int ny, float z, float* out,
                       const std::size_t* points, std::size_t count)>;
// What a bound proves about F over the box [lo, hi] of sample positions: true with min <= F <=
// max at every point of it (no evaluation failing there, no NaN), false when nothing is proven.
using BoxBound =
    std::function<bool(const float lo[3], const float hi[3], float& min, float& max)>;

struct DensityPruneStats {
    long long evaluated = 0; // grid points sampled
    long long skipped = 0;   // grid points left unsampled
    long long bounds = 0;    // calls of bound
    long long ranged = 0;    // of evaluated: proven points whose range stops short of the clamp
};

// sampleGrid that leaves unsampled the points whose density bound proves: a point is sampled
// when a cell around it is not proven to lie wholly inside (F >= 0) or wholly outside (F < 0),
// or when its proven range does not reach beyond the clamp on its side (F >= densityRange
// inside, F <= -densityRange outside). Every other point holds an end of its proven range,
// beyond the clamp, so densityRange and densityValues of the result are exactly those of
// sampleGrid's values. The points next to a cell that may cross the surface are sampled first,
// plane by plane in index order, so failures (never inside a proven box) come in sampleGrid's
// order. Grids of fewer than minCells^3 cells, or an empty bound, are sampled whole.
// Throws std::bad_alloc when the grid does not fit in memory.
std::vector<float> sampleGridPruned(const SampleGrid& grid, const PlanePointsSampler& sample,
                                    const BoxBound& bound, int minCells = 40,
                                    DensityPruneStats* stats = nullptr);

// sampleGridPruned of the object that sampler evaluates: whole planes through sampler, pruned by
// sampler's interval bounds when prune is set and sampled at every point otherwise.
std::vector<float> sampleObjectGrid(const SampleGrid& grid, model::GridSampler& sampler,
                                    bool prune, int minCells = 40,
                                    DensityPruneStats* stats = nullptr);

// The density values are 16-bit: F = 0 lies at the midpoint of 0..65535, which the ray tracer
// reads as kDensityThreshold.
constexpr double kDensityThreshold = 0.5;

// The half-width R of the clamp: the largest |F| at any corner of a cell that the surface
// crosses (corners both inside, F >= 0, and outside), so that in every such cell the density is
// F scaled and its zero crossing stays where interpolating F puts it. Corner values above 64
// times the median of the crossed cells' largest values (a failed evaluation's far-outside
// value, say) are clamped instead of flattening every other cell. 1 when no cell is crossed.
double densityRange(const std::vector<float>& values, const SampleGrid& grid);

// The density of each F: 0.5 + 0.5 * clamp(F / range, -1, 1) in units of 1/65535, rounded away
// from the midpoint so that F >= 0 (inside) gives 32768 or more and F < 0 (outside, NaN too)
// 32767 or less. Monotone in F.
std::vector<std::uint16_t> densityValues(const std::vector<float>& values, double range);

// An upper bound of the gradient length of the trilinear interpolation of density / 65535, per
// unit length of the grid's own space (the ray tracer's max_gradient). 0 for a constant density.
double densityMaxGradient(const std::vector<std::uint16_t>& density, const SampleGrid& grid);

// The df3 bytes: the three point counts as big-endian 16-bit numbers, then every density as a
// big-endian 16-bit number in index order.
std::string df3Bytes(const SampleGrid& grid, const std::vector<std::uint16_t>& density);

// Writes df3Bytes to path through a temporary file; false with error set on failure.
bool writeDf3File(const std::string& path, const SampleGrid& grid,
                  const std::vector<std::uint16_t>& density, std::string& error);

} // namespace lv::exporter
