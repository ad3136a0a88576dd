#include "export/polygonize_mesh.h"

#include "export/mesh_orient.h"

namespace lv::exporter {

namespace {

poly::PolygonizeRequest requestFor(const MeshGrid& grid, poly::SampleFn sample,
                                   poly::SampleBlockFn block) {
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
    return request;
}

} // namespace

Mesh polygonizeToMesh(const MeshGrid& grid, poly::SampleFn sample, const MeshProgress& progress,
                      poly::BoundFn bound, poly::SampleBlockFn block) {
    Mesh mesh;
    auto report = [&](void*, int slice) {
        if (progress) {
            progress(slice, grid.nz);
        }
    };
    poly::PolygonizeRequest request = requestFor(grid, sample, block);
    request.emit_polygon = mesh;
    request.slice_done = report;
    poly::polygonizePruned(request, bound);
    return mesh;
}

IndexedMesh polygonizeToIndexedMesh(const MeshGrid& grid, poly::SampleFn sample,
                                    const MeshProgress& progress, GridWeldStats* stats,
                                    poly::BoundFn bound, poly::SampleBlockFn block) {
    GridWelder welder(grid);
    auto report = [&](void*, int slice) {
        if (progress) {
            progress(slice, grid.nz);
        }
    };
    poly::PolygonizeRequest request = requestFor(grid, sample, block);
    request.emit_polygon = welder;
    request.slice_done = report;
    poly::polygonizePruned(request, bound);
    IndexedMesh mesh = welder.finish(stats);
    const VertexFaces around(mesh);
    orientOutward(mesh, around, sample);
    chooseDiagonals(mesh, around);
    return mesh;
}

} // namespace lv::exporter
