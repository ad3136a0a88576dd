#include "export/polygonize_mesh.h"

#include "export/mesh_orient.h"

namespace lv::exporter {

void polygonizeGrid(const MeshGrid& grid, poly::SampleFn sample, const MeshProgress& progress,
                    poly::BoundFn bound, poly::SampleBlockFn block, poly::EmitPolygonFn emit,
                    poly::StopRequestedFn stop) {
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
    request.stop_requested = stop;
    poly::polygonizePruned(request, bound);
}

IndexedMesh finishWeldedMesh(GridWelder& welder, poly::SampleFn inside, GridWeldStats* stats) {
    IndexedMesh mesh = welder.finish(stats);
    const VertexFaces around(mesh);
    orientOutward(mesh, around, inside);
    chooseDiagonals(mesh, around);
    return mesh;
}

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
    return finishWeldedMesh(welder, sample, stats);
}

} // namespace lv::exporter
