#pragma once
// Polygon meshes collected from the polygonizer, and the mesh-file writers (.poly, binary .stl,
// .obj, .ply, VRML 2 .wrl).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lv::exporter {

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

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
        int count = 0;
        std::uint32_t v[4] = {0, 0, 0, 0};
        std::size_t polygon = 0; // index of the source polygon in the Mesh
    };
    std::vector<Vec3> vertices;
    std::vector<Face> faces;
};

// F of the solid (>= 0 inside), used to orient faces outward.
using InsideFunction = std::function<float(float x, float y, float z)>;

// Welds the polygons' vertices into shared ones. Bit-equal points are always joined; with
// tolerance > 0, so are points whose coordinates all differ by less than tolerance, transitively
// (union-find over a hash grid), each cluster taking the position of its earliest point.
// tolerance < 0 means 0.002 model units, twice the polygonizer's duplicate distance, which is
// what closes the mesh of a closed surface: a cell that drops a crossing as a duplicate (closer
// than 0.001) of another leaves a sliver hole unless the copies used by the neighbouring cells
// merge too, and those copies, each within 0.001 of the dropped point, may lie up to 0.002
// apart. The same weld joins the copies of a crossing that neighbouring cells compute from
// opposite ends of a grid edge (they differ by rounding only). Surfaces thinner than 0.002 are
// pinched; grids finer than about 0.004 are beyond it (the polygonizer itself drops everything
// below 0.001). Faces left with fewer than 3 distinct vertices are dropped, a quadrilateral with
// two welded neighbours becomes a triangle, and faces over the same vertex set (a strip folded
// flat by the weld) are dropped in pairs. Faces keep emission order; only the vertices that
// faces use are kept, numbered by first use.
IndexedMesh weldMesh(const Mesh& mesh, double tolerance = -1.0);

// Orients faces so that their normals (counter-clockwise rule) point outward, toward smaller F.
// Each face's own test compares F at its centroid plus and minus a small step along its normal
// (a tenth of its longest edge; half and a fiftieth when those values tie; no vote when they stay
// tied or are not finite). Faces are made consistent with their neighbours across edges that
// exactly two faces share, and every connected patch then takes the orientation its faces favour
// by area-weighted vote, so that single misjudged faces near creases or thin walls follow their
// patch.
void orientOutward(IndexedMesh& mesh, const InsideFunction& inside);
// The same for a polygon list: patches come from weldMesh with the default tolerance; polygons
// that welding drops are judged on their own.
void orientOutward(Mesh& mesh, const InsideFunction& inside);

struct Rgb {
    int r = 204, g = 204, b = 204; // 0..255
};

struct MeshWriteOptions {
    InsideFunction inside;        // when set, faces are oriented outward (not in .poly)
    Rgb color;                    // VRML diffuseColor, channel / 255
    double weld_tolerance = -1.0; // as weldMesh; .stl, .obj, .ply and .wrl are welded
};

enum class MeshFormat { Unknown, Poly, Stl, Obj, Ply, Wrl };

// By extension, ignoring letter case: .poly .stl .obj .ply .wrl.
MeshFormat meshFormatFromPath(const std::string& path);

// Writes mesh in the format the extension names. The file is written under a temporary name in
// the same directory and renamed at the end, so path never holds a partial file. .poly is the
// raw polygonizer record: one polygon a line in emission order, "N x0 y0 z0 ... " with %.17g
// numbers, never oriented or welded. The others are welded (and oriented when options.inside
// is set): binary .stl splits quadrilaterals along their shorter diagonal; ASCII .obj and .ply
// and VRML 2 .wrl keep triangles and quadrilaterals, with the shortest numbers that read back
// exactly; .wrl is one-sided (solid TRUE) only when oriented. Numbers are locale-independent
// everywhere. Returns false with error set (and path untouched) on an unknown extension or an
// I/O failure.
bool writeMeshFile(const std::string& path, const Mesh& mesh, const MeshWriteOptions& options,
                   std::string& error);

} // namespace lv::exporter
