#pragma once
// The one path from a model object to its polygons: the object's function sampled through a
// GridSampler over its effective box and grid, pruned where interval bounds prove a side. The
// renderer's meshes and the mesh files are both made from it, so they hold the same polygons.
#include "export/grid_mesh.h"
#include "export/polygonize_mesh.h"
#include "model/model.h"
#include "polygonize/polygonizer.h"

namespace lv::exporter {

// How an object's function is sampled while it is polygonized; neither choice changes a value
// or a polygon.
struct ObjectSampling {
    bool prune = true;  // leave unsampled the blocks that interval bounds prove to lie on one side
    bool blocks = true; // sample whole planes through the sampler on samplingThreads() threads,
                        // else point by point on the calling thread
};

// The grid an object is polygonized on: its effective box (own or the model's) and its counts.
MeshGrid objectMeshGrid(const model::ModelObject& object, const model::ModelSettings& settings);

// Polygonizes object index of model, whose frame must be prepared, over objectMeshGrid: every
// polygon goes to emit in the polygonizer's order, progress (when set) follows every slice with
// the slice number and the object's slice count, and stop (when set) is asked after every
// slice, ending the run when it says so. Failed evaluations are counted in the object's slot.
void polygonizeObject(model::Model& model, int index, const ObjectSampling& sampling,
                      poly::EmitPolygonFn emit, const MeshProgress& progress = {},
                      poly::StopRequestedFn stop = {});

} // namespace lv::exporter
