#pragma once
// Cell-by-cell polygonizer: approximates the zero level of F inside a box by triangles and
// quadrilaterals, sampling F on a regular grid two planes at a time.
#include <cstddef>

#include "polygonize/function_ref.h"

namespace lv::poly {

// F at a point (positions are computed in double and narrowed to float for the call).
using SampleFn = FunctionRef<float(float x, float y, float z)>;

// A block of grid points: every combination of xs[0..cols), ys[0..rows) and zs[0..planes).
// F at (xs[c], ys[r], zs[p]) goes to values[(r * cols + c) * planes + p]: that index is the
// order in which one-point sampling visits them (rows, then columns, then planes). When points
// is set, only the count points whose indexes are points[0..count) (increasing) are wanted.
// tokens, where set, goes with the wanted points (points[k] has tokens[k], or point n has
// tokens[n] when points is null): a bound's token (pruned_polygonizer.h) of a box that holds
// the point, or null. A sampler may evaluate the points that have a token in any order, by
// what the token stands for (they never fail); those without one keep their order.
struct SampleBlock {
    const float* xs;
    int cols;
    const float* ys;
    int rows;
    const float* zs;
    int planes;
    float* values;
    const std::size_t* points = nullptr;
    std::size_t count = 0;
    const void* const* tokens = nullptr;
};
// Samples a whole block, or its listed points in index order; must give what SampleFn would
// give point by point. Values of points not listed may be left as they are.
using SampleBlockFn = FunctionRef<void(const SampleBlock& block)>;
// One polygon of count (3 or 4) vertices; the arrays are valid only during the call. The winding
// is the tracing order, not consistent with respect to the inside of the solid.
using EmitPolygonFn = FunctionRef<void(const double* xs, const double* ys, const double* zs,
                                       int count)>;
// Progress: called with the request's context and the slice number 1..nz after each slice.
using SliceDoneFn = FunctionRef<void(void* context, int slice)>;
// Asked after each slice (after slice_done): true ends the run there.
using StopRequestedFn = FunctionRef<bool()>;

// One polygonizer run. The callables are referenced, not owned: they must outlive the run.
struct PolygonizeRequest {
    double xmin = 0.0, xmax = 0.0;
    double ymin = 0.0, ymax = 0.0;
    double zmin = 0.0, zmax = 0.0;
    int nx = 0, ny = 0, nz = 0; // cells per axis; an axis with n cells has n + 1 positions
    SampleFn sample;
    SampleBlockFn sample_block;     // may be empty; when set, used instead of sample
    EmitPolygonFn emit_polygon;     // may be empty: polygons are then dropped
    SliceDoneFn slice_done;         // may be empty
    StopRequestedFn stop_requested; // may be empty: the run then always goes to the end
    void* context = nullptr;        // handed back unchanged to slice_done only
};

// Runs the whole grid, calling back synchronously on the calling thread: every grid point is
// sampled exactly once (slice by slice, X fastest), each surviving polygon is emitted as it is
// traced, and slice_done follows every slice. The same request gives the same calls with the
// same values, bit for bit. Does nothing (no callback) when a count is below 1, a box has
// min > max or a non-finite bound, sample is empty, or the sample planes cannot be allocated.
// With sample_block, each slice is one block (the first slice's two planes together), so the
// values and polygons are those of the point-by-point run.
void polygonize(const PolygonizeRequest& request);

} // namespace lv::poly
