#include "export/polygonize_mesh.h"

#include "export/mesh_orient.h"

namespace lv::exporter {

namespace {

// Runs the polygonizer over grid (pruned where bound proves a side), handing every polygon to
// emit and reporting every slice to progress.
void polygonizeGrid(const MeshGrid& grid, poly::SampleFn sample, const MeshProgress& progress,
                    poly::BoundFn bound, poly::SampleBlockFn block, poly::EmitPolygonFn emit) {
    poly::PolygonizeRequest request;
    request.xmin = grid.xmin;
    request.xmax = grid.xmax;
    request.ymin = grid.ymin;
    request.ymax = grid.ymax;
    request.zmin = grid.zmin;
    request.zmax = grid.zmax;
    request.nx = grid.nx;
    request.ny = grid.ny;
    request.nz = grid.nz;
    request.sample = sample;
    request.sample_block = block;
    request.emit_polygon = emit;
    auto report = [&](void*, int slice) {
        if (progress) {
            progress(slice, grid.nz);
        }
    };
    request.slice_done = report;
    poly::polygonizePruned(request, bound);
}

} // namespace

Mesh polygonizeToMesh(const MeshGrid& grid, poly::SampleFn sample, const MeshProgress& progress,
                      poly::BoundFn bound, poly::SampleBlockFn block) {
    Mesh mesh;
    polygonizeGrid(grid, sample, progress, bound, block, mesh);
    return mesh;
}

IndexedMesh polygonizeToIndexedMesh(const MeshGrid& grid, poly::SampleFn sample,
                                    const MeshProgress& progress, GridWeldStats* stats,
                                    poly::BoundFn bound, poly::SampleBlockFn block) {
    GridWelder welder(grid);
    polygonizeGrid(grid, sample, progress, bound, block, welder);
    IndexedMesh mesh = welder.finish(stats);
    const VertexFaces around(mesh);
    orientOutward(mesh, around, sample);
    chooseDiagonals(mesh, around);
    return mesh;
}

} // namespace lv::exporter
