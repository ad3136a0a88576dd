#include "export/model_mesh.h"

#include <cmath>

#include "model/grid_sampler.h"
#include "render/scene.h"

namespace lv::exporter {

namespace {

bool isIdentity(const model::Transform& t) {
    for (int i = 0; i < 3; ++i)
        if (t.translate[i] != 0.0f || t.rotate[i] != 0.0f || std::fabs(t.scale[i]) != 1.0f)
            return false;
    return true;
}

} // namespace

MeshGrid objectMeshGrid(const model::ModelObject& object, const model::ModelSettings& settings) {
    const model::BoundingBox& b = model::effectiveBox(object, settings);
    return {b.xmin, b.ymin, b.zmin, b.xmax, b.ymax, b.zmax,
            object.grid[0], object.grid[1], object.grid[2]};
}

void transformMeshPoints(const model::Transform& transform, Vec3* points, std::size_t count) {
    if (isIdentity(transform)) return;
    const render::Mat4 t = render::objectTransform(transform, {0.0, 0.0, 0.0});
    for (std::size_t k = 0; k < count; ++k) {
        const render::Vec3 v = render::transformPoint(t, {points[k].x, points[k].y, points[k].z});
        points[k] = {v.x, v.y, v.z};
    }
}

ModelMesh polygonizeModel(model::Model& model, const ModelMeshOptions& options) {
    ModelMesh out;
    for (int i = 0; i < model.count(); ++i) {
        const model::ModelObject& o = model.object(i);
        model::EvalSlot& slot = model.slots()[static_cast<std::size_t>(i)];
        const MeshGrid grid = objectMeshGrid(o, model.settings);
        auto sample = [&slot](float x, float y, float z) {
            return model::evaluateAt(slot, x, y, z);
        };
        // Worker threads only when blocks are sampled; bounds keep their storage either way.
        model::GridSampler sampler(slot, options.blocks ? model::samplingThreads() : 1);
        auto bound = [&sampler](const float lo[3], const float hi[3]) {
            return sampler.valueBound(lo, hi);
        };
        poly::BoundFn bounds;
        if (options.prune) bounds = bound;
        auto sampleBlock = [&sampler](const poly::SampleBlock& b) { sampler.sample(b); };
        poly::SampleBlockFn block;
        if (options.blocks) block = sampleBlock;
        bool empty = false;
        if (options.raw) {
            Mesh mesh = polygonizeToMesh(grid, sample, options.progress, bounds, block);
            empty = mesh.polygons.empty();
            for (MeshPolygon& p : mesh.polygons) {
                transformMeshPoints(o.transform, p.v, static_cast<std::size_t>(p.count));
                out.polygons.polygons.push_back(p);
            }
        } else {
            MeshPart part;
            part.name = o.name;
            part.color = {o.polyColour.red, o.polyColour.green, o.polyColour.blue};
            part.mesh = polygonizeToIndexedMesh(grid, sample, options.progress, nullptr, bounds,
                                                block);
            empty = part.mesh.faces.empty();
            if (!empty) {
                transformMeshPoints(o.transform, part.mesh.vertices.data(),
                                    part.mesh.vertices.size());
                out.parts.push_back(std::move(part));
            }
        }
        if (slot.failures > 0 && out.failures == 0) {
            out.firstErrorObject = i;
            out.firstError = slot.firstError;
        }
        out.failures += slot.failures;
        if (empty && options.empty == EmptyObject::Stop) {
            out.emptyObject = i;
            break;
        }
    }
    return out;
}

} // namespace lv::exporter
