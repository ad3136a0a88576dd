// The mesh files of real shapes over many grids, read back by the tests' own readers: closed
// 2-manifolds with no doubled triangles, oriented outward, converging to the exact volume and
// area as the grid shrinks.
#include "export/grid_mesh.h"
#include "export/mesh_files.h"
#include "export/mesh_orient.h"
#include "export/polygonize_mesh.h"
#include "tests/export/mesh_readers.h"
#include "tests/export/mesh_shapes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace lv::exporter;

using meshtest::gyroidBallF;
using meshtest::sphereF;
using meshtest::torusF;

// A block with a square notch taken out along one vertical edge.
float notchedBlockF(float x, float y, float z) {
    const double block = std::min({0.61 - std::fabs(x), 0.52 - std::fabs(y), 0.43 - std::fabs(z)});
    const double notch = std::min({x - 0.21, y - 0.11});
    return static_cast<float>(std::min(block, -notch));
}

struct Shape {
    const char* name;
    float (*f)(float, float, float);
    double half;                   // the box is -half..half (shifted a little off the origin)
    double volume, area;           // exact; 0 where unknown
    double volumeSlack, areaSlack; // relative error allowed per relative cell size
    std::vector<int> grids;
};

MeshGrid gridFor(const Shape& s, int n) {
    MeshGrid g;
    g.xmin = -s.half + 0.0123 * s.half;
    g.ymin = -s.half - 0.0071 * s.half;
    g.zmin = -s.half + 0.0037 * s.half;
    g.xmax = g.xmin + 2 * s.half;
    g.ymax = g.ymin + 2 * s.half;
    g.zmax = g.zmin + 2 * s.half;
    g.nx = g.ny = g.nz = n;
    return g;
}

meshtest::Soup readBack(MeshFormat format, const fs::path& p) {
    meshtest::Soup s;
    const std::string data = meshtest::readFile(p);
    bool ok = false;
    switch (format) {
    case MeshFormat::Stl:
        ok = meshtest::readStl(data, s);
        break;
    case MeshFormat::Obj:
        ok = meshtest::readObj(data, s);
        break;
    case MeshFormat::Ply:
        ok = meshtest::readPly(data, s);
        break;
    case MeshFormat::ThreeMf:
        ok = meshtest::read3mf(data, s);
        break;
    default:
        break;
    }
    EXPECT_TRUE(ok) << p;
    return s;
}

const Shape& shapeNamed(const std::string& name) {
    const double pi = M_PI;
    static const Shape shapes[] = {
        {"sphere",
         sphereF,
         1.0,
         4.0 / 3.0 * pi * 0.343,
         4 * pi * 0.49,
         0.4,
         0.3,
         {20, 23, 26, 29, 33, 37, 41, 46, 52, 60, 100, 150}},
        {"torus",
         torusF,
         6.0,
         2 * pi * pi * 4 * 2.25,
         4 * pi * pi * 4 * 1.5,
         0.8,
         0.4,
         {20, 22, 24, 27, 30, 33, 36, 40, 44, 49, 55, 80}},
        {"gyroid ball",
         gyroidBallF,
         5.0,
         0,
         0,
         0,
         0,
         {20, 22, 24, 27, 30, 33, 36, 40, 44, 49, 55, 60}},
        {"notched block",
         notchedBlockF,
         1.0,
         (1.22 * 1.04 - 0.4 * 0.41) * 0.86,
         2 * (1.22 * 1.04 + 1.22 * 0.86 + 1.04 * 0.86) - 2 * 0.4 * 0.41,
         0.8,
         1.5,
         {20, 22, 25, 28, 31, 35, 39, 43, 48, 54, 61, 90}},
    };
    for (const Shape& s : shapes) {
        if (name == s.name)
            return s;
    }
    std::abort();
}

// Writes the shape's mesh at each of its grids and reads every file back.
void scan(const Shape& shape) {
    const fs::path dir =
        fs::path(::testing::TempDir()) / ("lv_scan_" + std::to_string(getpid()) + "_" + shape.name);
    fs::create_directories(dir);
    const MeshFormat text[] = {MeshFormat::Obj, MeshFormat::Ply, MeshFormat::ThreeMf};
    const char* ext[] = {"", "", ".stl", ".obj", ".ply", "", ".3mf"};
    for (std::size_t gi = 0; gi < shape.grids.size(); ++gi) {
        const int n = shape.grids[gi];
        const double h = 2 * shape.half / n;
        std::vector<MeshPart> parts(1);
        parts[0].name = shape.name;
        parts[0].mesh = polygonizeToIndexedMesh(gridFor(shape, n), shape.f);
        ASSERT_FALSE(parts[0].mesh.faces.empty()) << shape.name << " " << n;
        // STL at every grid; the text formats and 3MF take turns, and the finest grid of
        // each shape is read back from STL only.
        std::vector<MeshFormat> formats{MeshFormat::Stl};
        if (gi + 1 < shape.grids.size()) {
            formats.push_back(text[gi % 3]);
        }
        for (MeshFormat format : formats) {
            const fs::path p = dir / (std::string("m") + ext[int(format)]);
            std::string error;
            ASSERT_TRUE(writeMeshFile(p, parts, error)) << error;
            const meshtest::Check c = meshtest::check(readBack(format, p));
            const std::string what =
                std::string(shape.name) + " grid " + std::to_string(n) + " " + ext[int(format)];
            EXPECT_EQ(c.badEdges, 0u) << what;
            EXPECT_EQ(c.inconsistent, 0u) << what;
            EXPECT_EQ(c.duplicates, 0u) << what;
            EXPECT_GT(c.volume, 0.0) << what;
            // Cells cut corners and edges: the error shrinks with the cell size h.
            if (shape.volume > 0) {
                EXPECT_NEAR(c.volume / shape.volume, 1.0, shape.volumeSlack * h / shape.half)
                    << what;
            }
            if (shape.area > 0) {
                EXPECT_NEAR(c.area / shape.area, 1.0, shape.areaSlack * h / shape.half) << what;
            }
        }
    }
    fs::remove_all(dir);
}

// Each shape is its own test, so that they run side by side.
TEST(GridMeshScan, Sphere) {
    scan(shapeNamed("sphere"));
}
TEST(GridMeshScan, Torus) {
    scan(shapeNamed("torus"));
}
TEST(GridMeshScan, GyroidBall) {
    scan(shapeNamed("gyroid ball"));
}
TEST(GridMeshScan, NotchedBlock) {
    scan(shapeNamed("notched block"));
}

} // namespace
