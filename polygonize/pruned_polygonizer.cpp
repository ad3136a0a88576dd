#include "polygonize/pruned_polygonizer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lv::poly {
namespace {

// The polygonizer's tolerance: a value v with |v| < kEps becomes v + 10 * kEps before the
// cell test, so every value above -kEps ends up positive and every value at or below it
// negative (nothing ends up exactly zero).
constexpr double kEps = 0.00001;

// Smallest block that is bounded on its own: below it a bound costs more than the points.
constexpr int kFinestBlock = 4;

// Positions along one axis, accumulated exactly as the polygonizer accumulates them.
std::vector<double> positions(double min, double max, int cells) {
    const double step = (max - min) / cells;
    std::vector<double> p(static_cast<std::size_t>(cells) + 1);
    double v = min;
    for (double& e : p) {
        e = v;
        v += step;
    }
    return p;
}

// The sides of the cells of the run, one slab of slices at a time (the two most recent slabs
// are kept: a plane of points touches at most two).
class CellSides {
public:
    CellSides(const PolygonizeRequest& r, BoundFn bound, const PruneOptions& options,
              PruneStats& stats)
        : r_(r), bound_(bound), options_(options), stats_(stats),
          height_(std::max(options.blockCells, kFinestBlock)), xs_(positions(r.xmin, r.xmax, r.nx)),
          ys_(positions(r.ymin, r.ymax, r.ny)), zs_(positions(r.zmin, r.zmax, r.nz)) {
        for (Slab& s : slabs_) {
            s.index = -1;
            s.side.assign(static_cast<std::size_t>(height_) * r.nx * r.ny, 0);
        }
    }

    // Side of cell (slice i, row j, column k), 1-based: 1 or -1 when skipped, 0 when visited.
    int side(int i, int j, int k) {
        const Slab& s = slab((i - 1) / height_);
        const int local = (i - 1) % height_;
        return s.side[(static_cast<std::size_t>(local) * r_.ny + (j - 1)) * r_.nx + (k - 1)];
    }

    const std::vector<double>& xs() const { return xs_; }
    const std::vector<double>& ys() const { return ys_; }
    const std::vector<double>& zs() const { return zs_; }

private:
    struct Slab {
        int index;
        std::vector<std::int8_t> side;
    };

    const Slab& slab(int index) {
        for (const Slab& s : slabs_)
            if (s.index == index) return s;
        Slab& s = slabs_[0].index < slabs_[1].index ? slabs_[0] : slabs_[1];
        fill(s, index);
        return s;
    }

    void fill(Slab& s, int index) {
        s.index = index;
        std::fill(s.side.begin(), s.side.end(), 0);
        const int i0 = index * height_ + 1, i1 = std::min(r_.nz, i0 + height_ - 1);
        for (int j = 1; j <= r_.ny; j += height_)
            for (int k = 1; k <= r_.nx; k += height_)
                refine(s, i0, i1, j, std::min(r_.ny, j + height_ - 1), k,
                       std::min(r_.nx, k + height_ - 1), height_);
    }

    // Bounds the block of cells; skips it when one side is proven, else refines it by four
    // along each axis down to the finest block.
    void refine(Slab& s, int i0, int i1, int j0, int j1, int k0, int k1, int size) {
        const float lo[3] = {static_cast<float>(xs_[k0 - 1]), static_cast<float>(ys_[j0 - 1]),
                             static_cast<float>(zs_[i0 - 1])};
        const float hi[3] = {static_cast<float>(xs_[k1]), static_cast<float>(ys_[j1]),
                             static_cast<float>(zs_[i1])};
        ++stats_.bounds;
        const int proven = boundSide(bound_(lo, hi));
        if (proven != 0) {
            const int base = (s.index * height_) + 1;
            for (int i = i0; i <= i1; ++i)
                for (int j = j0; j <= j1; ++j)
                    for (int k = k0; k <= k1; ++k)
                        s.side[(static_cast<std::size_t>(i - base) * r_.ny + (j - 1)) * r_.nx +
                               (k - 1)] = static_cast<std::int8_t>(proven);
            if (options_.skipped_block) options_.skipped_block(i0, i1, j0, j1, k0, k1, proven > 0);
            return;
        }
        const int sub = size / 4;
        if (sub < kFinestBlock) return;
        for (int i = i0; i <= i1; i += sub)
            for (int j = j0; j <= j1; j += sub)
                for (int k = k0; k <= k1; k += sub)
                    refine(s, i, std::min(i1, i + sub - 1), j, std::min(j1, j + sub - 1), k,
                           std::min(k1, k + sub - 1), sub);
    }

    const PolygonizeRequest& r_;
    BoundFn bound_;
    const PruneOptions& options_;
    PruneStats& stats_;
    int height_;
    std::vector<double> xs_, ys_, zs_;
    Slab slabs_[2];
};

} // namespace

int valueSide(double f) {
    if (std::isnan(f)) return 0;
    return f > -kEps ? 1 : -1;
}

int boundSide(const ValueBound& bound) {
    if (!bound.proven || !(bound.lo <= bound.hi)) return 0;
    if (bound.lo > -kEps) return 1;
    if (bound.hi <= -kEps) return -1;
    return 0;
}

void polygonizePruned(const PolygonizeRequest& request, BoundFn bound,
                      const PruneOptions& options, PruneStats* stats) {
    PruneStats local;
    PruneStats& counts = stats ? *stats : local;
    const long long cells = static_cast<long long>(std::max(request.nx, 0)) *
                            std::max(request.ny, 0) * std::max(request.nz, 0);
    const long long least = static_cast<long long>(options.minCells) * options.minCells *
                            options.minCells;
    if (!bound || !request.sample || cells < std::max(1LL, least) || request.nx < 1 ||
        request.ny < 1 || request.nz < 1 || !std::isfinite(request.xmin) ||
        !std::isfinite(request.xmax) || !std::isfinite(request.ymin) ||
        !std::isfinite(request.ymax) || !std::isfinite(request.zmin) ||
        !std::isfinite(request.zmax) || request.xmin > request.xmax ||
        request.ymin > request.ymax || request.zmin > request.zmax) {
        auto counted = [&](float x, float y, float z) {
            ++counts.evaluated;
            return request.sample(x, y, z);
        };
        PolygonizeRequest plain = request;
        plain.sample = counted;
        polygonize(plain);
        return;
    }

    CellSides sides(request, bound, options, counts);
    const long long perPlane = static_cast<long long>(request.nx + 1) * (request.ny + 1);
    long long call = 0;
    // polygonize samples plane 0 and plane 1 point by point for its first slice, then each
    // further plane in turn; the call number tells which grid point is being asked for.
    auto sample = [&](float x, float y, float z) -> float {
        const long long n = call++;
        long long point = 0;
        int plane = 0;
        if (n < 2 * perPlane) {
            point = n / 2;
            plane = static_cast<int>(n % 2);
        } else {
            point = (n - 2 * perPlane) % perPlane;
            plane = static_cast<int>(2 + (n - 2 * perPlane) / perPlane);
        }
        const int row = static_cast<int>(point / (request.nx + 1));
        const int col = static_cast<int>(point % (request.nx + 1));
        int skippedSide = 0;
        bool needed = plane > request.nz || x != static_cast<float>(sides.xs()[col]) ||
                      y != static_cast<float>(sides.ys()[row]) ||
                      z != static_cast<float>(sides.zs()[plane]);
        for (int i = plane; i <= plane + 1 && !needed; ++i) {
            if (i < 1 || i > request.nz) continue;
            for (int j = row; j <= row + 1 && !needed; ++j) {
                if (j < 1 || j > request.ny) continue;
                for (int k = col; k <= col + 1 && !needed; ++k) {
                    if (k < 1 || k > request.nx) continue;
                    const int s = sides.side(i, j, k);
                    if (s == 0) needed = true;
                    skippedSide = s;
                }
            }
        }
        if (needed || skippedSide == 0) {
            ++counts.evaluated;
            return request.sample(x, y, z);
        }
        // Every cell around the point is skipped, and all on the side proven for it: a value
        // of that side keeps them rejected.
        ++counts.skipped;
        return skippedSide > 0 ? 1.0f : -1.0f;
    };
    PolygonizeRequest pruned = request;
    pruned.sample = sample;
    polygonize(pruned);
}

} // namespace lv::poly
