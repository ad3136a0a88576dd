#include "polygonize/polygonizer.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

namespace lv::poly {
namespace {

// Tolerance for the iso value 0: differences and values below it count as zero.
constexpr double kEps = 0.00001;
// Two vertices closer than this in every coordinate are the same (model units).
constexpr double kSameVertex = 0.001;

// Link slot states; a link holds the other edge's number 1..12.
constexpr int kEmpty = 0;
constexpr int kOpen = -1;

// Corners c1..c8 as 0/1 offsets along X, Y, Z.
constexpr int kCornerX[8] = {0, 0, 1, 1, 0, 0, 1, 1};
constexpr int kCornerY[8] = {0, 1, 1, 0, 0, 1, 1, 0};
constexpr int kCornerZ[8] = {0, 0, 0, 0, 1, 1, 1, 1};

// Edges e1..e12, directed from corner to corner (0-based corners).
struct EdgeDef {
    int from, to;
};
constexpr EdgeDef kEdges[12] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

// Faces in processing order: edges p1..p4 (0-based), D = f[d0] - f[d1],
// E = f[e0] + f[e1] - f[e2] - f[e3] (0-based corners).
struct FaceDef {
    int p[4];
    int d[2];
    int e[4];
};
constexpr FaceDef kFaces[6] = {
    {{0, 1, 2, 3}, {0, 1}, {0, 2, 1, 3}},   // z = z0
    {{3, 11, 7, 8}, {0, 3}, {0, 7, 3, 4}},  // y = y0
    {{4, 5, 6, 7}, {4, 5}, {4, 6, 5, 7}},   // z = z1
    {{1, 10, 5, 9}, {1, 2}, {1, 6, 2, 5}},  // y = y1
    {{0, 9, 4, 8}, {0, 1}, {0, 5, 1, 4}},   // x = x0
    {{2, 10, 6, 11}, {3, 2}, {3, 6, 2, 7}}, // x = x1
};

// A value within eps of zero counts as inside, never as exactly zero.
inline double adjust(double f) { return std::fabs(f) < kEps ? f + 10.0 * kEps : f; }

enum class Traced { None, Abandoned, Polygon };

// Per-cell scratch, rebuilt for every cell that is not rejected.
struct Cell {
    double f[8];
    double px[2], py[2], pz[2]; // lower and upper corner coordinates
    double cx[12], cy[12], cz[12], t[12];
    int slot[12][2];
    double xs[4], ys[4], zs[4];
    int count = 0;

    bool crossings();
    void pairFaces();
    void connect(int p, int q);
    Traced trace();
    bool step(int& current, int& slotIndex, int& n, int& next);
    bool dropDuplicates();
};

// Finds the crossing of every edge; false when there is none.
bool Cell::crossings() {
    bool any = false;
    for (int e = 0; e < 12; ++e) {
        const int a = kEdges[e].from, b = kEdges[e].to;
        const double fa = f[a], fb = f[b];
        const double diff = fb - fa;
        const double te = std::fabs(diff) < kEps ? 0.0 : (0.0 - fa) / diff;
        if (te <= 0.0 || !(te < 1.0)) { // also no crossing when |fb - fa| < eps
            slot[e][0] = slot[e][1] = kEmpty;
            continue;
        }
        const double ax = px[kCornerX[a]], ay = py[kCornerY[a]], az = pz[kCornerZ[a]];
        const double bx = px[kCornerX[b]], by = py[kCornerY[b]], bz = pz[kCornerZ[b]];
        cx[e] = ax + te * (bx - ax);
        cy[e] = ay + te * (by - ay);
        cz[e] = az + te * (bz - az);
        t[e] = te;
        slot[e][0] = slot[e][1] = kOpen;
        any = true;
    }
    return any;
}

// p's first open slot receives q, then q's first open slot receives p; nothing if p is full.
void Cell::connect(int p, int q) {
    int* sp = slot[p];
    int* const target = sp[0] == kOpen ? &sp[0] : sp[1] == kOpen ? &sp[1] : nullptr;
    if (!target) {
        return;
    }
    *target = q + 1;
    int* sq = slot[q];
    if (sq[0] == kOpen) {
        sq[0] = p + 1;
    } else if (sq[1] == kOpen) {
        sq[1] = p + 1;
    }
}

void Cell::pairFaces() {
    for (const FaceDef& face : kFaces) {
        int found[4];
        int n = 0;
        for (int q = 0; q < 4; ++q) {
            if (slot[face.p[q]][0] != kEmpty) {
                found[n++] = face.p[q];
            }
        }
        if (n == 2) {
            connect(found[1], found[0]);
        } else if (n == 4) {
            const double d = f[face.d[0]] - f[face.d[1]];
            const double e = f[face.e[0]] + f[face.e[1]] - f[face.e[2]] - f[face.e[3]];
            if (d / e > t[face.p[1]]) {
                connect(face.p[0], face.p[1]);
                connect(face.p[2], face.p[3]);
            } else {
                connect(face.p[1], face.p[2]);
                connect(face.p[0], face.p[3]);
            }
        }
    }
}

// One tracing step from current through its slot slotIndex; false when that slot holds no link.
bool Cell::step(int& current, int& slotIndex, int& n, int& next) {
    ++n;
    const int link = slot[current][slotIndex];
    if (link == kEmpty || link == kOpen) {
        return false;
    }
    next = link - 1;
    if (n != 4) {
        xs[n] = cx[next];
        ys[n] = cy[next];
        zs[n] = cz[next];
    }
    slot[current][slotIndex] = kEmpty;
    if (slot[next][0] == current + 1) {
        slot[next][0] = kEmpty;
        slotIndex = 1;
    } else if (slot[next][1] == current + 1) {
        slot[next][1] = kEmpty;
        slotIndex = 0;
    }
    current = next;
    return true;
}

// Traces one polygon into the buffer (vertices 0..3), consuming links; a loop of more than four
// crossings leaves its first four in the buffer and is re-linked into a shorter loop.
Traced Cell::trace() {
    int start = -1, startSlot = 0;
    for (int e = 0; e < 12 && start < 0; ++e) {
        if (slot[e][0] != kEmpty) {
            start = e;
            startSlot = 0;
        } else if (slot[e][1] != kEmpty) {
            start = e;
            startSlot = 1;
        }
    }
    if (start < 0) {
        return Traced::None;
    }
    xs[0] = cx[start];
    ys[0] = cy[start];
    zs[0] = cz[start];
    int current = start, slotIndex = startSlot, n = 0, next = -1;
    do {
        if (!step(current, slotIndex, n, next)) {
            return Traced::Abandoned;
        }
    } while (n < 3);
    if (next == start) {
        return Traced::Polygon;
    }
    if (slot[next][slotIndex] == start + 1) {
        return step(current, slotIndex, n, next) ? Traced::Polygon : Traced::Abandoned;
    }
    // Fan: the rest of the loop is start, next, ... back to start. The slot of next opposite
    // its current one is the one that just held the previous edge.
    slot[start][startSlot] = next + 1;
    slot[next][1 - slotIndex] = start + 1;
    return Traced::Polygon;
}

// Applies the duplicate check to the four buffered vertices; false when the polygon is dropped.
bool Cell::dropDuplicates() {
    static constexpr int kPairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    int pairs = 0, pk = -1;
    for (const auto& pair : kPairs) {
        const int a = pair[0], b = pair[1];
        if (std::fabs(xs[a] - xs[b]) < kSameVertex && std::fabs(ys[a] - ys[b]) < kSameVertex &&
            std::fabs(zs[a] - zs[b]) < kSameVertex) {
            if (++pairs == 2) {
                return false;
            }
            pk = b;
        }
    }
    count = 4;
    if (pairs == 1) {
        if (pk != 3) {
            xs[pk] = xs[3];
            ys[pk] = ys[3];
            zs[pk] = zs[3];
        }
        count = 3;
    }
    return true;
}

// Visits one cell whose corner values (f) and corner coordinates are filled in.
void visitCell(Cell& cell, const EmitPolygonFn& emit) {
    if (!cell.crossings()) {
        return;
    }
    cell.pairFaces();
    for (;;) {
        if (cell.trace() != Traced::Polygon) {
            return;
        }
        if (cell.dropDuplicates() && emit) {
            emit(cell.xs, cell.ys, cell.zs, cell.count);
        }
    }
}

bool validRequest(const PolygonizeRequest& r) {
    if (r.nx < 1 || r.ny < 1 || r.nz < 1 || (!r.sample && !r.sample_block)) {
        return false;
    }
    const double bounds[6] = {r.xmin, r.xmax, r.ymin, r.ymax, r.zmin, r.zmax};
    for (double b : bounds) {
        if (!std::isfinite(b)) {
            return false;
        }
    }
    return r.xmin <= r.xmax && r.ymin <= r.ymax && r.zmin <= r.zmax;
}

// Fills the planes for the slice whose lower z is z (the first slice samples both planes).
void sampleSlice(const PolygonizeRequest& r, bool first, double z, double dx, double dy,
                 double dz, double* lower, double* upper) {
    const float zLower = static_cast<float>(z);
    const float zUpper = static_cast<float>(z + dz);
    std::size_t index = 0;
    double y = r.ymin;
    for (int row = 0; row <= r.ny; ++row) {
        const float yf = static_cast<float>(y);
        double x = r.xmin;
        for (int col = 0; col <= r.nx; ++col, ++index) {
            const float xf = static_cast<float>(x);
            if (first) {
                lower[index] = adjust(static_cast<double>(r.sample(xf, yf, zLower)));
            }
            upper[index] = adjust(static_cast<double>(r.sample(xf, yf, zUpper)));
            x += dx;
        }
        y += dy;
    }
}

// The same slice through the block sampler: the grid positions are the ones sampleSlice
// computes, gathered once per axis.
struct BlockSlicer {
    std::unique_ptr<float[]> xs, ys, values;

    bool allocate(std::size_t cols, std::size_t rows) {
        xs.reset(new (std::nothrow) float[cols]);
        ys.reset(new (std::nothrow) float[rows]);
        values.reset(new (std::nothrow) float[cols * rows * 2]);
        return xs && ys && values;
    }

    void sample(const PolygonizeRequest& r, bool first, double z, double dx, double dy,
                double dz, double* lower, double* upper) {
        const int cols = r.nx + 1, rows = r.ny + 1;
        double x = r.xmin;
        for (int col = 0; col < cols; ++col, x += dx) xs[col] = static_cast<float>(x);
        double y = r.ymin;
        for (int row = 0; row < rows; ++row, y += dy) ys[row] = static_cast<float>(y);
        const float zs[2] = {static_cast<float>(z), static_cast<float>(z + dz)};
        const int planes = first ? 2 : 1;
        r.sample_block({xs.get(), cols, ys.get(), rows, first ? zs : zs + 1, planes,
                        values.get()});
        const std::size_t n = static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows);
        for (std::size_t i = 0; i < n; ++i) {
            if (first) {
                lower[i] = adjust(static_cast<double>(values[2 * i]));
                upper[i] = adjust(static_cast<double>(values[2 * i + 1]));
            } else {
                upper[i] = adjust(static_cast<double>(values[i]));
            }
        }
    }
};

} // namespace

void polygonize(const PolygonizeRequest& r) {
    if (!validRequest(r)) {
        return;
    }
    const double dx = (r.xmax - r.xmin) / r.nx;
    const double dy = (r.ymax - r.ymin) / r.ny;
    const double dz = (r.zmax - r.zmin) / r.nz;

    const std::size_t cols = static_cast<std::size_t>(r.nx) + 1;
    const std::size_t rows = static_cast<std::size_t>(r.ny) + 1;
    if (cols > SIZE_MAX / sizeof(double) / rows) {
        return;
    }
    // The planes hold adjusted values: the adjustment depends only on the value, so applying
    // it once per sample instead of once per cell corner changes nothing.
    std::unique_ptr<double[]> lowerPlane(new (std::nothrow) double[cols * rows]);
    std::unique_ptr<double[]> upperPlane(new (std::nothrow) double[cols * rows]);
    if (!lowerPlane || !upperPlane) {
        return;
    }
    double* lower = lowerPlane.get();
    double* upper = upperPlane.get();
    BlockSlicer slicer;
    if (r.sample_block && !slicer.allocate(cols, rows)) {
        return;
    }

    Cell cell;
    double z = r.zmin;
    for (int i = 1; i <= r.nz; ++i) {
        if (i > 1) {
            std::swap(lower, upper); // the previous upper plane becomes the lower one
        }
        if (r.sample_block) {
            slicer.sample(r, i == 1, z, dx, dy, dz, lower, upper);
        } else {
            sampleSlice(r, i == 1, z, dx, dy, dz, lower, upper);
        }
        cell.pz[0] = z;
        cell.pz[1] = z + dz;
        double y = r.ymin;
        for (int j = 1; j <= r.ny; ++j) {
            const double* lo = lower + (j - 1) * cols;
            const double* up = upper + (j - 1) * cols;
            double x = r.xmin;
            for (int k = 1; k <= r.nx; ++k, x += dx) {
                const double f1 = lo[k - 1], f2 = lo[cols + k - 1], f3 = lo[cols + k], f4 = lo[k];
                const double f5 = up[k - 1], f6 = up[cols + k - 1], f7 = up[cols + k], f8 = up[k];
                const bool allInside = f1 >= 0 && f2 >= 0 && f3 >= 0 && f4 >= 0 && f5 >= 0 &&
                                       f6 >= 0 && f7 >= 0 && f8 >= 0;
                const bool allOutside = f1 <= 0 && f2 <= 0 && f3 <= 0 && f4 <= 0 && f5 <= 0 &&
                                        f6 <= 0 && f7 <= 0 && f8 <= 0;
                if (allInside || allOutside) {
                    continue;
                }
                cell.f[0] = f1, cell.f[1] = f2, cell.f[2] = f3, cell.f[3] = f4;
                cell.f[4] = f5, cell.f[5] = f6, cell.f[6] = f7, cell.f[7] = f8;
                cell.px[0] = x;
                cell.px[1] = x + dx;
                cell.py[0] = y;
                cell.py[1] = y + dy;
                visitCell(cell, r.emit_polygon);
            }
            y += dy;
        }
        if (r.slice_done) {
            r.slice_done(r.context, i);
        }
        if (r.stop_requested && r.stop_requested()) {
            return;
        }
        z += dz;
    }
}

} // namespace lv::poly
