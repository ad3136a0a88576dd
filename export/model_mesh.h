#pragma once
// The mesh of a whole model: every object of a prepared model polygonized over its own box and
// grid and moved by its transform, as the mesh files hold it. Shared by the mesh command and
// the application's export; Qt-free (library lv_model_mesh).
#include <cstddef>
#include <string>
#include <vector>

#include "export/indexed_mesh.h"
#include "export/mesh_files.h"
#include "export/object_polygons.h"
#include "export/polygonize_mesh.h"
#include "lang/compiled_object.h"
#include "model/model.h"

namespace lv::exporter {

// What to do with an object whose surface does not cross its box.
enum class EmptyObject {
    Stop, // end the run there and name the object in ModelMesh::emptyObject
    Skip, // leave it out and go on with the next object
};

struct ModelMeshOptions {
    bool raw = false;   // the raw polygons (for .poly) rather than one welded part per object
    bool prune = true;  // leave unsampled the blocks that interval bounds prove to lie on one
                        // side of the surface (the same polygons, fewer evaluations)
    bool blocks = true; // sample whole blocks through a GridSampler on the sampling threads
                        // (the same values as point by point)
    EmptyObject empty = EmptyObject::Stop;
    MeshProgress progress; // after each slice of each object, with that object's slice count
};

struct ModelMesh {
    Mesh polygons;                 // raw: every object's polygons, in object order
    std::vector<MeshPart> parts;   // welded: one part per object (named and coloured by it)
    int emptyObject = -1;          // Stop: the index of the object that ended the run, else -1
    long long failures = 0;        // sample points whose evaluation failed, over all objects
    int firstErrorObject = -1;     // the object of the first failure, -1 when none failed
    lang::RuntimeError firstError; // that failure (valid while the frame stays prepared)
};

// Moves points in place by an object's transform; points stay bit for bit as they are when it is
// the identity. Scales count as absolute values, so the transform never mirrors and the
// orientation of faces survives it.
void transformMeshPoints(const model::Transform& transform, Vec3* points, std::size_t count);

// Polygonizes every object of model, whose frame must be prepared, in object order
// (polygonizeObject) with options: raw polygons or one welded, outward-oriented, transformed part per object. An
// object whose surface does not cross its box ends the run (Stop; its part is not kept) or is
// left out (Skip). Failed evaluations are counted from every object polygonized.
ModelMesh polygonizeModel(model::Model& model, const ModelMeshOptions& options);

} // namespace lv::exporter
