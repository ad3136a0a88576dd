#include "export/object_polygons.h"

#include "model/grid_sampler.h"

namespace lv::exporter {

MeshGrid objectMeshGrid(const model::ModelObject& object, const model::ModelSettings& settings) {
    const model::BoundingBox& b = model::effectiveBox(object, settings);
    return {b.xmin, b.ymin, b.zmin, b.xmax, b.ymax, b.zmax,
            object.grid[0], object.grid[1], object.grid[2]};
}

void polygonizeObject(model::Model& model, int index, const ObjectSampling& sampling,
                      poly::EmitPolygonFn emit, const MeshProgress& progress,
                      poly::StopRequestedFn stop) {
    const model::ModelObject& object = model.object(index);
    model::EvalSlot& slot = model.slots()[static_cast<std::size_t>(index)];
    auto sample = [&slot](float x, float y, float z) { return model::evaluateAt(slot, x, y, z); };
    // Worker threads only when blocks are sampled; bounds keep their storage either way.
    model::GridSampler sampler(slot, sampling.blocks ? model::samplingThreads() : 1);
    auto bound = [&sampler](const float lo[3], const float hi[3]) {
        return sampler.valueBound(lo, hi);
    };
    poly::BoundFn bounds;
    if (sampling.prune) bounds = bound;
    auto sampleBlock = [&sampler](const poly::SampleBlock& b) { sampler.sample(b); };
    poly::SampleBlockFn block;
    if (sampling.blocks) block = sampleBlock;
    polygonizeGrid(objectMeshGrid(object, model.settings), sample, progress, bounds, block, emit,
                   stop);
}

} // namespace lv::exporter
