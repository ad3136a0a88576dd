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
// are kept: a plane of points touches at most two), with the token of the innermost proven
// block that holds each visited cell.
class CellSides {
public:
    CellSides(const PolygonizeRequest& r, BoundFn bound, const PruneOptions& options,
              PruneStats& stats)
        : r_(r), bound_(bound), options_(options), stats_(stats),
          height_(std::max(options.blockCells, kFinestBlock)), xs_(positions(r.xmin, r.xmax, r.nx)),
          ys_(positions(r.ymin, r.ymax, r.ny)), zs_(positions(r.zmin, r.zmax, r.nz)) {
        for (Slab& s : slabs_) s.index = -1;
    }

    // Sides of the cells of slice i (1-based), row by row (ny rows of nx cells): 1 or -1 for a
    // skipped cell, 0 for one that is visited. Valid until a slice two slabs further is asked
    // for.
    const std::int8_t* slice(int i) {
        const Slab& s = slab((i - 1) / height_);
        const int local = (i - 1) % height_;
        return s.side.data() + static_cast<std::size_t>(local) * r_.ny * r_.nx;
    }

    // The tokens of the cells of slice i, as slice gives their sides: 0 for none, else one more
    // than a number that token() turns into the token; null where no cell of its slab has one.
    // Valid as long as slice(i).
    const std::uint32_t* tokens(int i) {
        const Slab& s = slab((i - 1) / height_);
        if (s.tokens.empty()) return nullptr;
        const int local = (i - 1) % height_;
        return s.token.data() + static_cast<std::size_t>(local) * r_.ny * r_.nx;
    }
    const void* token(int i, std::uint32_t number) {
        return number == 0 ? nullptr
                           : slab((i - 1) / height_).tokens[number - 1].get();
    }

private:
    struct Slab {
        int index;
        std::vector<std::int8_t> side;
        std::vector<std::uint32_t> token; // written only once tokens holds one
        std::vector<std::shared_ptr<const void>> tokens; // held while the slab is kept
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
        const std::size_t cells =
            static_cast<std::size_t>(std::min(height_, r_.nz)) * r_.nx * r_.ny;
        s.side.assign(cells, 0);
        s.tokens.clear();
        // Blocks four times as wide as the slab is high come first: where a bound decides
        // parts of the object for all of them, the blocks inside run less of it.
        const int wide = 4 * height_;
        const int i0 = index * height_ + 1, i1 = std::min(r_.nz, i0 + height_ - 1);
        for (int j = 1; j <= r_.ny; j += wide)
            for (int k = 1; k <= r_.nx; k += wide)
                refine(s, i0, i1, j, std::min(r_.ny, j + wide - 1), k,
                       std::min(r_.nx, k + wide - 1), wide, 0);
    }

    // Bounds the block of cells (at most size wide in X and Y); skips it when one side is
    // proven, else refines it by four across X and Y, and along Z once as wide as high, down
    // to the finest block, whose cells get the token of the innermost proven block holding
    // them (inherited: that of the blocks around this one).
    void refine(Slab& s, int i0, int i1, int j0, int j1, int k0, int k1, int size,
                std::uint32_t inherited) {
        const float lo[3] = {static_cast<float>(xs_[k0 - 1]), static_cast<float>(ys_[j0 - 1]),
                             static_cast<float>(zs_[i0 - 1])};
        const float hi[3] = {static_cast<float>(xs_[k1]), static_cast<float>(ys_[j1]),
                             static_cast<float>(zs_[i1])};
        ++stats_.bounds;
        ValueBound bound = bound_(lo, hi);
        const int proven = boundSide(bound);
        const int base = (s.index * height_) + 1;
        if (proven != 0) {
            fillBlock(s.side.data(), base, i0, i1, j0, j1, k0, k1,
                      static_cast<std::int8_t>(proven));
            if (options_.skipped_block) options_.skipped_block(i0, i1, j0, j1, k0, k1, proven > 0);
            return;
        }
        std::uint32_t token = inherited;
        if (bound.proven && bound.token) {
            if (s.tokens.empty()) s.token.assign(s.side.size(), 0);
            s.tokens.push_back(std::move(bound.token));
            token = static_cast<std::uint32_t>(s.tokens.size());
        }
        const int sub = size / 4;
        if (sub < kFinestBlock) {
            if (token != 0) fillBlock(s.token.data(), base, i0, i1, j0, j1, k0, k1, token);
            return;
        }
        const int high = std::min(height_, sub);
        for (int i = i0; i <= i1; i += high)
            for (int j = j0; j <= j1; j += sub)
                for (int k = k0; k <= k1; k += sub)
                    refine(s, i, std::min(i1, i + high - 1), j, std::min(j1, j + sub - 1), k,
                           std::min(k1, k + sub - 1), sub, token);
    }

    // Sets the entries of the block's cells (1-based; slices from base on) in a slab's array
    // laid out as side is.
    template <class T>
    void fillBlock(T* cells, int base, int i0, int i1, int j0, int j1, int k0, int k1,
                   T value) const {
        for (int i = i0; i <= i1; ++i)
            for (int j = j0; j <= j1; ++j)
                std::fill_n(cells + (static_cast<std::size_t>(i - base) * r_.ny + (j - 1)) *
                                        r_.nx + (k0 - 1),
                            k1 - k0 + 1, value);
    }

    const PolygonizeRequest& r_;
    BoundFn bound_;
    const PruneOptions& options_;
    PruneStats& stats_;
    int height_;
    std::vector<double> xs_, ys_, zs_;
    Slab slabs_[2];
};

// The polygonizer's block callback of a pruned run: of each block of planes it samples only
// the points that a visited cell reads (through the request's block sampler, or point by point
// through its sample), and gives every other point a value of the side proven for it.
class PlaneSampler {
public:
    PlaneSampler(const PolygonizeRequest& r, CellSides& sides, PruneStats& stats)
        : r_(r), sides_(sides), stats_(stats) {}

    void sample(const SampleBlock& b) {
        const std::size_t total = static_cast<std::size_t>(b.cols) * b.rows * b.planes;
        wanted_.clear();
        wantedTokens_.clear();
        side_.resize(total);
        for (int p = 0; p < b.planes; ++p) classifyPlane(b, p);
        const std::int8_t* side = side_.data();
        for (std::size_t n = 0; n < total; ++n)
            if (side[n] == 0) wanted_.push_back(n);
        bool anyToken = false;
        for (int p = 0; p < b.planes; ++p)
            for (const Touch* t : {around_[static_cast<std::size_t>(p)].below,
                                   around_[static_cast<std::size_t>(p)].above})
                anyToken = anyToken || (t && !t->token.empty());
        const std::size_t planes = static_cast<std::size_t>(b.planes);
        for (std::size_t k = 0; anyToken && k < wanted_.size(); ++k)
            wantedTokens_.push_back(tokenAt(wanted_[k] % planes, wanted_[k] / planes));
        const std::size_t count = wanted_.size();
        stats_.evaluated += static_cast<long long>(count);
        stats_.skipped += static_cast<long long>(total - count);
        if (count > 0 && r_.sample_block) {
            SampleBlock part = b;
            if (count < total) part.points = wanted_.data(), part.count = count;
            if (anyToken) part.tokens = wantedTokens_.data();
            r_.sample_block(part);
        } else {
            for (std::size_t n : wanted_) {
                const std::size_t point = n / static_cast<std::size_t>(b.planes);
                b.values[n] = r_.sample(b.xs[point % static_cast<std::size_t>(b.cols)],
                                        b.ys[point / static_cast<std::size_t>(b.cols)],
                                        b.zs[n % static_cast<std::size_t>(b.planes)]);
            }
        }
        // Every cell around a skipped point is skipped, and all on the side proven for it: a
        // value of that side keeps them rejected.
        for (std::size_t n = 0; n < total; ++n)
            if (side_[n] != 0) b.values[n] = side_[n] > 0 ? 1.0f : -1.0f;
        plane_ += b.planes;
    }

private:
    struct Touch {
        int slice = -1;
        std::vector<std::int8_t> side;
        std::vector<std::uint32_t> token; // numbers for CellSides::token; empty where none
    };

    // side_ for the points of plane p of the block: 0 where a cell around the point is
    // visited, else the side of the skipped cells around it (sound bounds give them all the
    // same side, since they all hold the point).
    void classifyPlane(const SampleBlock& b, int p) {
        const int plane = plane_ + p;
        const Touch* below = plane >= 1 ? &pointSides(plane) : nullptr;
        const Touch* above = plane + 1 <= r_.nz ? &pointSides(plane + 1) : nullptr;
        if (static_cast<std::size_t>(p) >= around_.size()) around_.resize(p + 1);
        around_[static_cast<std::size_t>(p)] = {below, above};
        const std::size_t points = static_cast<std::size_t>(b.rows) * b.cols;
        const std::size_t planes = static_cast<std::size_t>(b.planes);
        const std::int8_t* under = below ? below->side.data() : nullptr;
        const std::int8_t* over = above ? above->side.data() : nullptr;
        std::int8_t* out = side_.data() + p;
        for (std::size_t n = 0; n < points; ++n) {
            std::int8_t side = under ? under[n] : over[n];
            if (under && over && over[n] == 0) side = 0;
            out[n * planes] = side;
        }
    }

    // The token of a visited cell around point n of plane p of the block (classified), or null.
    const void* tokenAt(std::size_t p, std::size_t n) {
        for (const Touch* t : {around_[p].below, around_[p].above})
            if (t && !t->token.empty() && t->side[n] == 0 && t->token[n] != 0)
                return sides_.token(t->slice, t->token[n]);
        return nullptr;
    }

    // For the points of a plane, row by row: side 0 where a visited cell of slice i (1-based)
    // has the point as a corner, with the token of such a cell, else the side of the skipped
    // cells of the slice around it. Kept for the two most recent slices, as each serves two
    // planes.
    const Touch& pointSides(int i) {
        for (Touch& t : touch_)
            if (t.slice == i) return t;
        Touch& t = touch_[0].slice < touch_[1].slice ? touch_[0] : touch_[1];
        t.slice = i;
        const int nx = r_.nx, ny = r_.ny, cols = nx + 1;
        t.side.resize(static_cast<std::size_t>(ny + 1) * cols);
        const std::int8_t* cells = sides_.slice(i);
        const std::uint32_t* tokens = sides_.tokens(i);
        t.token.clear();
        if (tokens) t.token.resize(t.side.size(), 0);
        for (int row = 0; row <= ny; ++row) { // the side of one cell holding the point
            const std::int8_t* line = cells + static_cast<std::size_t>(std::min(row, ny - 1)) * nx;
            std::int8_t* out = t.side.data() + static_cast<std::size_t>(row) * cols;
            for (int col = 0; col < nx; ++col) out[col] = line[col];
            out[nx] = line[nx - 1];
        }
        for (int j = 0; j < ny; ++j) { // the corners of every visited cell
            const std::size_t first = static_cast<std::size_t>(j) * nx;
            const std::int8_t* line = cells + first;
            std::int8_t* out = t.side.data() + static_cast<std::size_t>(j) * cols;
            for (int k = 0; k < nx; ++k)
                if (line[k] == 0) out[k] = out[k + 1] = out[k + cols] = out[k + cols + 1] = 0;
            if (!tokens) continue;
            const std::uint32_t* numbers = tokens + first;
            std::uint32_t* token = t.token.data() + static_cast<std::size_t>(j) * cols;
            for (int k = 0; k < nx; ++k) {
                const std::uint32_t own = numbers[k];
                if (line[k] == 0 && own != 0)
                    token[k] = token[k + 1] = token[k + cols] = token[k + cols + 1] = own;
            }
        }
        return t;
    }

    const PolygonizeRequest& r_;
    CellSides& sides_;
    PruneStats& stats_;
    int plane_ = 0;                  // grid plane of the block's first plane
    std::vector<std::size_t> wanted_; // indexes of the block's points to sample
    std::vector<std::int8_t> side_;   // per point of the block: 0 sampled, else its side
    struct Around {
        const Touch* below;
        const Touch* above;
    };
    std::vector<Around> around_;      // per plane of the block: the slices around it
    std::vector<const void*> wantedTokens_; // the tokens of the points in wanted_
    Touch touch_[2];
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
    if (!bound || (!request.sample && !request.sample_block) || cells < std::max(1LL, least) ||
        request.nx < 1 || request.ny < 1 || request.nz < 1 || !std::isfinite(request.xmin) ||
        !std::isfinite(request.xmax) || !std::isfinite(request.ymin) ||
        !std::isfinite(request.ymax) || !std::isfinite(request.zmin) ||
        !std::isfinite(request.zmax) || request.xmin > request.xmax ||
        request.ymin > request.ymax || request.zmin > request.zmax) {
        auto counted = [&](float x, float y, float z) {
            ++counts.evaluated;
            return request.sample(x, y, z);
        };
        auto countedBlock = [&](const SampleBlock& b) {
            counts.evaluated += static_cast<long long>(b.cols) * b.rows * b.planes;
            request.sample_block(b);
        };
        PolygonizeRequest plain = request;
        if (request.sample) plain.sample = counted;
        if (request.sample_block) plain.sample_block = countedBlock;
        polygonize(plain);
        return;
    }

    CellSides sides(request, bound, options, counts);
    PlaneSampler planes(request, sides, counts);
    auto block = [&planes](const SampleBlock& b) { planes.sample(b); };
    PolygonizeRequest pruned = request;
    pruned.sample_block = block;
    polygonize(pruned);
}

} // namespace lv::poly
