#pragma once
// Polygonizes a sampler over a box and grid into a Mesh: the core of the `mesh` command.
#include <functional>

#include "export/mesh_files.h"
#include "polygonize/polygonizer.h"

namespace lv::exporter {

struct MeshGrid {
    double xmin = -1.0, ymin = -1.0, zmin = -1.0;
    double xmax = 1.0, ymax = 1.0, zmax = 1.0;
    int nx = 25, ny = 25, nz = 25; // cells per axis
};

// Called after each slice with the slice number (1..slices) and the number of slices.
using MeshProgress = std::function<void(int slice, int slices)>;

// The polygons of the zero level of sample (F >= 0 inside) in emission order. Nothing for an
// unusable grid (a count below 1, min > max).
Mesh polygonizeToMesh(const MeshGrid& grid, poly::SampleFn sample,
                      const MeshProgress& progress = {});

// Accepts any callable float(float, float, float), temporaries included (it lives for the call).
template <class F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, poly::SampleFn>)
Mesh polygonizeToMesh(const MeshGrid& grid, F&& sample, const MeshProgress& progress = {}) {
    auto& named = sample;
    return polygonizeToMesh(grid, poly::SampleFn(named), progress);
}

} // namespace lv::exporter
