#pragma once
// Polygon lists as the polygonizer emits them, and welded meshes whose faces share vertices.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/vec3.h"

namespace lv::exporter {

using geom::Vec3;

struct MeshPolygon {
    int count = 0; // 3 or 4
    Vec3 v[4];
};

// Polygons in emission order, each with its own vertices. Callable as the polygonizer's
// emit_polygon; a count other than 3 or 4 is ignored.
struct Mesh {
    std::vector<MeshPolygon> polygons;

    void add(const double* xs, const double* ys, const double* zs, int count);
    void operator()(const double* xs, const double* ys, const double* zs, int count) {
        add(xs, ys, zs, count);
    }
};

// Vertices shared between faces; a face lists 3 or 4 vertex indices.
struct IndexedMesh {
    struct Face {
        std::uint32_t v[4] = {0, 0, 0, 0};
        std::uint32_t polygon = 0; // index of the emitted polygon the face came from
        int count = 0;
    };
    std::vector<Vec3> vertices;
    std::vector<Face> faces;
};

// The faces around each vertex (compressed rows: faces of vertex v are
// faces[first[v]] .. faces[first[v + 1] - 1], in increasing order).
struct VertexFaces {
    std::vector<std::uint32_t> first;
    std::vector<std::uint32_t> faces;

    explicit VertexFaces(const IndexedMesh& mesh);
    std::size_t valence(std::uint32_t v) const { return first[v + 1] - first[v]; }
};

// Where face f has the directed edge a -> b: +1; b -> a: -1; neither: 0.
int edgeDirection(const IndexedMesh::Face& f, std::uint32_t a, std::uint32_t b);

// Edges used by other than two faces, counting each undirected edge once.
std::size_t nonManifoldEdges(const IndexedMesh& mesh, const VertexFaces& around);

} // namespace lv::exporter
