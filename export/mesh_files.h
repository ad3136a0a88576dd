#pragma once
// Mesh files: the raw polygonizer record (.poly) and the welded formats (binary .stl, .obj with
// its .mtl, .ply, VRML 2 .wrl, .3mf), one part per model object.
#include <string>
#include <vector>

#include "export/indexed_mesh.h"

namespace lv::exporter {

struct Rgb {
    int r = 204, g = 204, b = 204; // 0..255
};

// One object of a mesh file: its name, colour and welded, outward-oriented faces (quadrilaterals
// rotated so that the diagonal 0-2 is the one to split along; see chooseDiagonals).
struct MeshPart {
    std::string name;
    Rgb color;
    IndexedMesh mesh;
};

enum class MeshFormat { Unknown, Poly, Stl, Obj, Ply, Wrl, ThreeMf };

// By extension, ignoring letter case: .poly .stl .obj .ply .wrl .3mf.
MeshFormat meshFormatFromPath(const std::string& path);

// Writes the polygons in emission order, one a line, "N x0 y0 z0 ..." with %.17g numbers, as
// they are: never welded or reoriented. Numbers are locale-independent.
bool writePolyFile(const std::string& path, const Mesh& mesh, std::string& error);

// Writes parts in the welded format the extension names (not .poly):
// - binary .stl: one solid of every part's triangles, quadrilaterals split along 0-2;
// - .obj: one "o" group and one material per part, triangles and quadrilaterals kept, and the
//   materials in a .mtl file of the same base name beside it;
// - .ply: ASCII, one vertex list, faces with their part's colour;
// - .wrl: VRML 2, one Shape per part in its colour, "solid TRUE" where the part is closed;
// - .3mf: one named mesh object per part with its colour as a base material, triangles.
// Numbers are locale-independent and read back as the same double (float in .stl and .3mf).
// Every file is written under a temporary name and renamed at the end, so no path ever holds
// a partial file. Returns false with error set (paths untouched) on an unknown extension or an
// I/O failure.
bool writeMeshFile(const std::string& path, const std::vector<MeshPart>& parts, std::string& error);

} // namespace lv::exporter
