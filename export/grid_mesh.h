#pragma once
// Welds the polygons of one polygonizer run into a mesh whose faces share vertices, keyed by the
// grid edge each crossing lies on, and mends what the cell-by-cell tracing leaves open or
// doubled so that a closed surface becomes a closed 2-manifold.
#include <cstdint>
#include <utility>
#include <vector>

#include "export/indexed_mesh.h"

namespace lv::exporter {

struct MeshGrid {
    double xmin = -1.0, ymin = -1.0, zmin = -1.0;
    double xmax = 1.0, ymax = 1.0, zmax = 1.0;
    int nx = 25, ny = 25, nz = 25; // cells per axis
};

struct GridWeldStats {
    std::size_t polygons = 0;       // polygons received
    std::size_t joinedVertices = 0; // crossings joined to a neighbour closer than 0.001
    std::size_t droppedFaces = 0;   // faces collapsed or folded onto a twin by the joins
    std::size_t resplitFaces = 0;   // fan pieces re-split to free an edge shared by four faces
    std::size_t peakBytes = 0;      // largest memory held by the welder's own arrays
};

// Callable as the polygonizer's emit_polygon for a run over grid. Every crossing lies on a grid
// edge (two of its coordinates are grid positions, bit for bit), so crossings that neighbouring
// cells compute for the same edge become one vertex whatever their rounding; a point on no grid
// edge is keyed by its exact coordinates.
class GridWelder {
public:
    explicit GridWelder(const MeshGrid& grid);
    void operator()(const double* xs, const double* ys, const double* zs, int count);

    // The vertex a point of a polygon becomes as it is emitted, before finish's mends:
    // crossings on one grid edge are one vertex, so are equal points elsewhere. Vertices are
    // numbered from 0 in order of first use; polygons handed over number theirs the same way.
    std::uint32_t vertexOf(double x, double y, double z);

    // The welded mesh, after the mends that make closed surfaces closed 2-manifolds:
    // - crossings closer than 0.001 in every coordinate are joined (the polygonizer drops such a
    //   vertex inside one cell, which would leave a sliver hole beside it), and faces that the
    //   join collapses are dropped; faces over the same vertex set are dropped in pairs;
    // - where the cell tracing cut two neighbouring cells' loops into fans along the same
    //   segment of their shared face, that edge is in four faces: one cell's fan is re-split
    //   along another diagonal.
    // Faces keep emission order, vertices are numbered by first use. Leaves the welder empty.
    IndexedMesh finish(GridWeldStats* stats = nullptr);

private:
    std::uint64_t keyOf(double x, double y, double z, bool& nearCorner, std::uint64_t& corner);
    std::uint32_t lookup(std::uint64_t key, double x, double y, double z);
    void grow();
    std::size_t bytes() const;

    MeshGrid grid_;
    std::vector<double> pos_[3]; // accumulated grid positions per axis
    double step_[3] = {0, 0, 0};

    // Open addressing from key + 1 (0 marks a free slot) to vertex index.
    std::vector<std::uint64_t> keys_;
    std::vector<std::uint32_t> values_;
    std::size_t used_ = 0;

    IndexedMesh mesh_;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> nearCorner_; // (grid point, vertex)
    std::size_t polygons_ = 0;
    std::size_t peak_ = 0;
};

} // namespace lv::exporter
