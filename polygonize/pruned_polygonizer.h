#pragma once
// Polygonizer that skips blocks of cells which a bound proves to lie on one side of the
// surface. The polygons, their order and the values of every evaluated point are those of
// polygonize; only the points that no surviving cell reads are left unevaluated.
#include <memory>
#include <utility>

#include "polygonize/polygonizer.h"

namespace lv::poly {

// What a bound callback proves about every value sample could return inside a box.
struct ValueBound {
    ValueBound() = default;
    ValueBound(double low, double high, bool isProven, std::shared_ptr<const void> of = {})
        : lo(low), hi(high), proven(isProven), token(std::move(of)) {}

    double lo = 0.0, hi = 0.0; // every value lies in [lo, hi]
    bool proven = false;       // false: nothing is known (a value may fail, be NaN or anything)
    // Of a proven bound, may be set: what the block sampler may evaluate the points inside
    // the box (corners included) with, opaque here. It is handed back with those points in
    // SampleBlock::tokens and held while they may still be sampled.
    std::shared_ptr<const void> token;
};

// A bound for the box [lo, hi] of float sample positions (x, y, z).
using BoundFn = FunctionRef<ValueBound(const float lo[3], const float hi[3])>;

// A block of cells proven to lie on one side: slices i0..i1, rows j0..j1, columns k0..k1
// (1-based, inclusive); inside tells which side. For audits and tests.
using SkippedBlockFn =
    FunctionRef<void(int i0, int i1, int j0, int j1, int k0, int k1, bool inside)>;

struct PruneOptions {
    int minCells = 40;  // below this many cells along every axis the run is not pruned
    // Slices per slab; blocks of four times as many cells across X and Y are bounded first,
    // then refined by 4 across X and Y (and along Z once as wide as high) down to 4.
    int blockCells = 16;
    SkippedBlockFn skipped_block; // may be empty
};

struct PruneStats {
    long long evaluated = 0; // grid points sampled
    long long skipped = 0;   // grid points left unevaluated
    long long bounds = 0;    // calls of bound
};

// Side of the surface on which the polygonizer puts a sampled value after its adjustment of
// values near zero: 1 inside (f > -0.00001), -1 outside (f <= -0.00001), 0 for NaN (a NaN
// corner never lets a cell be rejected).
int valueSide(double f);

// Side proven for every value of bound: 1, -1, or 0 when the bound proves neither.
int boundSide(const ValueBound& bound);

// Runs polygonize on request, skipping the cells of every block whose bound proves one side.
// A grid point is evaluated exactly when it is a corner of a cell that is not skipped, in the
// order polygonize samples it, so failure counts and first errors of the sampler stay those
// of polygonize. With sample_block, each slice's block lists the points to sample (all of
// them, unlisted, where none is skipped), with the tokens of the innermost proven boxes that
// hold them (tokens left null where no point has one); else they go to sample one by one.
// An empty bound, or a grid coarser than options.minCells along every axis, runs plain
// polygonize.
void polygonizePruned(const PolygonizeRequest& request, BoundFn bound,
                      const PruneOptions& options = {}, PruneStats* stats = nullptr);

} // namespace lv::poly
