#include "export/polygonize_mesh.h"

namespace lv::exporter {

Mesh polygonizeToMesh(const MeshGrid& grid, poly::SampleFn sample, const MeshProgress& progress) {
    Mesh mesh;
    auto report = [&](void*, int slice) {
        if (progress) {
            progress(slice, grid.nz);
        }
    };
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
    request.emit_polygon = mesh;
    request.slice_done = report;
    poly::polygonize(request);
    return mesh;
}

} // namespace lv::exporter
