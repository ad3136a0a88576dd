#pragma once
// Outward orientation of welded meshes and the split of their quadrilaterals into triangles.
#include "export/indexed_mesh.h"
#include "polygonize/function_ref.h"

namespace lv::exporter {

// F of the solid (>= 0 inside).
using InsideFn = poly::FunctionRef<float(float x, float y, float z)>;

// Orients faces so that their normals (counter-clockwise rule) point outward, toward smaller F.
// Faces are made consistent with their neighbours across every edge that exactly two faces
// share; each connected patch then takes the orientation that F favours at up to 32 of its
// faces, area-weighted (F compared a small step either side of the face's centre). So F is
// evaluated at most 64 times a patch, and a face misjudged near a crease follows its patch.
// around must describe mesh's current faces.
void orientOutward(IndexedMesh& mesh, const VertexFaces& around, InsideFn inside);

// Rotates each quadrilateral so that its diagonal from vertex 0 to vertex 2 is the one to split
// it along (writers of triangles, and readers that split from the first vertex, then agree):
// the shorter diagonal, unless the split would cut off a vertex V between neighbours A and B
// where another face also runs A-V-B (two faces folded around V); then the diagonal through V,
// so that no triangle is ever written twice.
void chooseDiagonals(IndexedMesh& mesh, const VertexFaces& around);

// Newell's normal of a face (twice its area vector; robust for non-planar quadrilaterals).
Vec3 faceNormal(const IndexedMesh& mesh, const IndexedMesh::Face& face);

} // namespace lv::exporter
