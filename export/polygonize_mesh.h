#pragma once
// Polygonizes a sampler over a box and grid: the raw polygon list (for .poly files) or the
// welded, mended and oriented mesh (for the other mesh files). The core of the `mesh` command.
#include <functional>

#include "export/grid_mesh.h"
#include "export/indexed_mesh.h"
#include "polygonize/pruned_polygonizer.h"

namespace lv::exporter {

// Called after each slice with the slice number (1..slices) and the number of slices.
using MeshProgress = std::function<void(int slice, int slices)>;

// Runs the polygonizer over grid, handing every polygon to emit in emission order, reporting
// every slice to progress and asking stop (when set) after every slice. With a bound, blocks of
// cells it proves to lie on one side are not sampled (polygonizePruned: the same polygons); with
// block, the planes are sampled through it instead of sample (the same values).
void polygonizeGrid(const MeshGrid& grid, poly::SampleFn sample, const MeshProgress& progress,
                    poly::BoundFn bound, poly::SampleBlockFn block, poly::EmitPolygonFn emit,
                    poly::StopRequestedFn stop = {});

// The mesh welder has made of a run (GridWelder::finish), oriented outward by inside
// (orientOutward) and with every quadrilateral's split chosen (chooseDiagonals).
IndexedMesh finishWeldedMesh(GridWelder& welder, poly::SampleFn inside,
                             GridWeldStats* stats = nullptr);

// The polygons of the zero level of sample (F >= 0 inside) in emission order. Nothing for an
// unusable grid (a count below 1, min > max). With a bound, blocks of cells it proves to lie
// on one side are not sampled; the polygons are the same (polygonizePruned). When block is set
// it samples the planes (the points of them that pruning leaves) instead of sample (the same
// values).
Mesh polygonizeToMesh(const MeshGrid& grid, poly::SampleFn sample,
                      const MeshProgress& progress = {}, poly::BoundFn bound = {},
                      poly::SampleBlockFn block = {});

// The same surface welded as it is emitted (GridWelder), closed where the surface is closed
// inside the box, oriented outward by sample (orientOutward) and with every quadrilateral's
// split chosen (chooseDiagonals). stats, when given, receives the welder's figures.
IndexedMesh polygonizeToIndexedMesh(const MeshGrid& grid, poly::SampleFn sample,
                                    const MeshProgress& progress = {},
                                    GridWeldStats* stats = nullptr, poly::BoundFn bound = {},
                                    poly::SampleBlockFn block = {});

// Accept any callable float(float, float, float), temporaries included (it lives for the call).
template <class F>
requires(!std::is_same_v<std::remove_cvref_t<F>, poly::SampleFn>) Mesh
    polygonizeToMesh(const MeshGrid& grid, F&& sample, const MeshProgress& progress = {},
                     poly::BoundFn bound = {}, poly::SampleBlockFn block = {}) {
    auto& named = sample;
    return polygonizeToMesh(grid, poly::SampleFn(named), progress, bound, block);
}

template <class F>
requires(!std::is_same_v<std::remove_cvref_t<F>, poly::SampleFn>) IndexedMesh
    polygonizeToIndexedMesh(const MeshGrid& grid, F&& sample, const MeshProgress& progress = {},
                            GridWeldStats* stats = nullptr, poly::BoundFn bound = {},
                            poly::SampleBlockFn block = {}) {
    auto& named = sample;
    return polygonizeToIndexedMesh(grid, poly::SampleFn(named), progress, stats, bound, block);
}

} // namespace lv::exporter
