#include "export/model_mesh.h"

#include <cmath>

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
    const ObjectSampling sampling{options.prune, options.blocks};
    for (int i = 0; i < model.count(); ++i) {
        const model::ModelObject& o = model.object(i);
        model::EvalSlot& slot = model.slots()[static_cast<std::size_t>(i)];
        bool empty = false;
        if (options.raw) {
            Mesh mesh;
            polygonizeObject(model, i, sampling, mesh, options.progress);
            empty = mesh.polygons.empty();
            for (MeshPolygon& p : mesh.polygons) {
                transformMeshPoints(o.transform, p.v, static_cast<std::size_t>(p.count));
                out.polygons.polygons.push_back(p);
            }
        } else {
            MeshPart part;
            part.name = o.name;
            part.color = {o.polyColour.red, o.polyColour.green, o.polyColour.blue};
            GridWelder welder(objectMeshGrid(o, model.settings));
            polygonizeObject(model, i, sampling, welder, options.progress);
            auto inside = [&slot](float x, float y, float z) {
                return model::evaluateAt(slot, x, y, z);
            };
            part.mesh = finishWeldedMesh(welder, inside);
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
