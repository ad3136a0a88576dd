#include "export/grid_mesh.h"
#include "export/mesh_files.h"
#include "export/mesh_orient.h"
#include "export/polygonize_mesh.h"
#include "tests/export/mesh_readers.h"
#include "tests/export/mesh_shapes.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace lv::exporter;
using meshtest::gyroidBallF;
using meshtest::readFile;
using meshtest::sphereF;
using meshtest::torusF;

MeshGrid cube(int n, double half = 1.0) {
    MeshGrid g;
    g.xmin = g.ymin = g.zmin = -half;
    g.xmax = g.ymax = g.zmax = half;
    g.nx = g.ny = g.nz = n;
    return g;
}

bool closed(const IndexedMesh& m) {
    return !m.faces.empty() && nonManifoldEdges(m, VertexFaces(m)) == 0;
}

class MeshFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) /
               ("lv_mesh_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }
    fs::path dir_;
};

Mesh oneTriangle() {
    Mesh m;
    const double xs[] = {0, 0.5, 0}, ys[] = {0.5, 0, 0}, zs[] = {0, 0, 0.1};
    m.add(xs, ys, zs, 3);
    return m;
}

std::vector<MeshPart> onePart() {
    std::vector<MeshPart> parts(1);
    parts[0].name = "ball";
    parts[0].mesh = polygonizeToIndexedMesh(cube(8), sphereF);
    return parts;
}

TEST(Mesh, CollectsPolygonsInEmissionOrder) {
    Mesh m;
    const double xs[] = {1, 2, 3, 4}, ys[] = {5, 6, 7, 8}, zs[] = {9, 10, 11, 12};
    m(xs, ys, zs, 4);
    m(xs, ys, zs, 3);
    m(xs, ys, zs, 5); // ignored
    ASSERT_EQ(m.polygons.size(), 2u);
    EXPECT_EQ(m.polygons[0].count, 4);
    EXPECT_EQ(m.polygons[0].v[3].y, 8);
    EXPECT_EQ(m.polygons[1].count, 3);
}

TEST(Mesh, PolygonizeToMeshReportsEverySlice) {
    std::vector<std::pair<int, int>> progress;
    const Mesh m = polygonizeToMesh(cube(12), sphereF, [&](int slice, int slices) {
        progress.push_back({slice, slices});
    });
    EXPECT_FALSE(m.polygons.empty());
    ASSERT_EQ(progress.size(), 12u);
    EXPECT_EQ(progress.front(), std::make_pair(1, 12));
    EXPECT_EQ(progress.back(), std::make_pair(12, 12));
    const double r = 0.5; // a temporary stateful sampler is fine: it lives for the call
    EXPECT_FALSE(polygonizeToMesh(cube(12), [r](float x, float y, float z) {
                     return static_cast<float>(r * r - (x * x + y * y + z * z));
                 }).polygons.empty());
    MeshGrid bad = cube(12);
    bad.nz = 0;
    EXPECT_TRUE(polygonizeToMesh(bad, sphereF).polygons.empty());
    EXPECT_TRUE(polygonizeToIndexedMesh(bad, sphereF).faces.empty());
    // A surface that does not cross the box gives nothing either.
    MeshGrid away = cube(6, 0.2);
    away.xmin += 5, away.xmax += 5;
    EXPECT_TRUE(polygonizeToIndexedMesh(away, sphereF).faces.empty());
}

TEST(Mesh, FormatFollowsExtension) {
    EXPECT_EQ(meshFormatFromPath("a/b.poly"), MeshFormat::Poly);
    EXPECT_EQ(meshFormatFromPath("b.STL"), MeshFormat::Stl);
    EXPECT_EQ(meshFormatFromPath("b.Obj"), MeshFormat::Obj);
    EXPECT_EQ(meshFormatFromPath("b.ply"), MeshFormat::Ply);
    EXPECT_EQ(meshFormatFromPath("b.wrl"), MeshFormat::Wrl);
    EXPECT_EQ(meshFormatFromPath("b.3MF"), MeshFormat::ThreeMf);
    EXPECT_EQ(meshFormatFromPath("b.txt"), MeshFormat::Unknown);
    EXPECT_EQ(meshFormatFromPath("dir.stl/b"), MeshFormat::Unknown);
    EXPECT_EQ(meshFormatFromPath("stl"), MeshFormat::Unknown);
}

TEST(GridWelder, CrossingsOfOneGridEdgeBecomeOneVertex) {
    MeshGrid g = cube(2); // positions -1, 0, 1 on every axis
    GridWelder welder(g);
    // The same crossing on the X edge at y = 0, z = 0 as two neighbouring cells compute it
    // from opposite ends (the last bit differs), and a point on no grid edge given twice.
    const double a = 0.3, b = std::nextafter(0.3, 1.0);
    const double xs1[] = {a, 0, 0}, ys1[] = {0, 0.4, 0}, zs1[] = {0, 0, 0.5};
    const double xs2[] = {b, 0.25, 0.25}, ys2[] = {0, 0.25, 0.25}, zs2[] = {0, 0.25, 0.5};
    welder(xs1, ys1, zs1, 3);
    welder(xs2, ys2, zs2, 3); // (0.25, 0.25, 0.25) and (0.25, 0.25, 0.5): off the grid edges
    welder(xs2, ys2, zs2, 3);
    GridWeldStats stats;
    const IndexedMesh m = welder.finish(&stats);
    EXPECT_EQ(stats.polygons, 3u);
    ASSERT_EQ(m.faces.size(), 1u); // the twin faces over the same vertices both go
    EXPECT_EQ(m.vertices.size(), 3u);
    EXPECT_EQ(m.vertices[0].x, a);
}

TEST(GridWelder, JoinsCrossingsThePolygonizerMergedInOneCellOnly) {
    // At 10 cells the sphere passes within 0.001 of grid corners: a cell that merged two close
    // crossings leaves a sliver unless the neighbours' copies are joined as well.
    GridWeldStats stats;
    const IndexedMesh m = polygonizeToIndexedMesh(
        cube(10),
        [](float x, float y, float z) {
            const double dx = x - 0.031, dy = y + 0.017, dz = z - 0.023;
            return static_cast<float>(0.7 * 0.7 - (dx * dx + dy * dy + dz * dz));
        },
        {}, &stats);
    EXPECT_GT(stats.joinedVertices, 0u);
    EXPECT_TRUE(closed(m));
    const auto edges = [&] {
        std::size_t n = 0;
        for (const auto& f : m.faces)
            n += f.count;
        return n / 2;
    }();
    EXPECT_EQ(long(m.vertices.size()) - long(edges) + long(m.faces.size()), 2); // a sphere
}

TEST(GridWelder, FreesAnEdgeThatTwoCellsFansShare) {
    // Two cells around x = 3.1667 cut their six-crossing loops along the same segment of their
    // shared face, which put that edge in four faces.
    GridWeldStats stats;
    const IndexedMesh m = polygonizeToIndexedMesh(cube(60, 5.0), gyroidBallF, {}, &stats);
    EXPECT_GT(stats.resplitFaces, 0u);
    EXPECT_TRUE(closed(m));
}

TEST(GridMesh, FoldedQuadrilateralsSplitThroughTheirSharedVertex) {
    // Two quadrilaterals share both edges at V: cutting V off in both writes one triangle twice.
    IndexedMesh m;
    m.vertices = {{0, 0, 0}, {1, 0.1, 0}, {2, 0, 0}, {1, 3, 0}, {1, -3, 0}}; // A-B is shorter
    const std::uint32_t A = 0, V = 1, B = 2, C = 3, D = 4;
    IndexedMesh::Face q1, q2;
    q1.count = q2.count = 4;
    std::uint32_t v1[] = {A, V, B, C}, v2[] = {B, V, A, D};
    std::copy(v1, v1 + 4, q1.v);
    std::copy(v2, v2 + 4, q2.v);
    m.faces = {q1, q2};
    chooseDiagonals(m, VertexFaces(m));
    meshtest::Soup s;
    for (const auto& p : m.vertices)
        s.points.push_back({p.x, p.y, p.z});
    for (const auto& f : m.faces) {
        meshtest::addPolygon(s, std::vector<std::uint32_t>(f.v, f.v + f.count));
        EXPECT_EQ(f.v[0] == V || f.v[2] == V, true); // the diagonal runs through V
    }
    EXPECT_EQ(meshtest::check(s).duplicates, 0u);
}

TEST_F(MeshFiles, TriangleFilesHoldNoTriangleTwice) {
    // Quadrilaterals of this torus share two consecutive edges around a vertex.
    std::vector<MeshPart> parts(1);
    parts[0].mesh = polygonizeToIndexedMesh(cube(40, 6.0), torusF);
    std::string error;
    for (const char* name : {"t.stl", "t.3mf", "t.obj"}) {
        ASSERT_TRUE(writeMeshFile(dir_ / name, parts, error)) << error;
        meshtest::Soup s;
        const std::string data = readFile(dir_ / name);
        ASSERT_TRUE(name[2] == 's'   ? meshtest::readStl(data, s)
                    : name[2] == '3' ? meshtest::read3mf(data, s)
                                     : meshtest::readObj(data, s));
        const meshtest::Check c = meshtest::check(s);
        EXPECT_EQ(c.duplicates, 0u) << name;
        EXPECT_EQ(c.badEdges, 0u) << name;
    }
}

TEST_F(MeshFiles, PolyLinesEqualThePolygonizersEmission) {
    for (auto f : {sphereF, torusF}) {
        const MeshGrid g = f == torusF ? cube(23, 6.0) : cube(17);
        std::vector<std::vector<double>> emitted;
        auto record = [&](const double* xs, const double* ys, const double* zs, int count) {
            std::vector<double> p{double(count)};
            for (int i = 0; i < count; ++i)
                p.insert(p.end(), {xs[i], ys[i], zs[i]});
            emitted.push_back(p);
        };
        lv::poly::PolygonizeRequest r;
        r.xmin = g.xmin, r.ymin = g.ymin, r.zmin = g.zmin;
        r.xmax = g.xmax, r.ymax = g.ymax, r.zmax = g.zmax;
        r.nx = g.nx, r.ny = g.ny, r.nz = g.nz;
        r.sample = f;
        r.emit_polygon = record;
        lv::poly::polygonize(r);
        ASSERT_FALSE(emitted.empty());

        std::string error;
        ASSERT_TRUE(writePolyFile(dir_ / "s.poly", polygonizeToMesh(g, f), error)) << error;
        std::istringstream in(readFile(dir_ / "s.poly"));
        std::string line;
        std::size_t i = 0;
        while (std::getline(in, line)) {
            ASSERT_LT(i, emitted.size());
            std::istringstream fields(line);
            std::vector<double> p;
            std::string word;
            while (fields >> word)
                p.push_back(std::strtod(word.c_str(), nullptr));
            EXPECT_EQ(p, emitted[i]) << "polygon " << i; // same order, same winding, same bits
            ++i;
        }
        EXPECT_EQ(i, emitted.size());
    }
}

TEST_F(MeshFiles, PolyIsOneLinePerPolygonWithSeventeenDigits) {
    std::string error;
    ASSERT_TRUE(writePolyFile(dir_ / "t.poly", oneTriangle(), error)) << error;
    EXPECT_EQ(readFile(dir_ / "t.poly"), "3 0 0.5 0 0.5 0 0 0 0 0.10000000000000001\n");
}

TEST_F(MeshFiles, NumbersIgnoreTheLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    bool comma = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if (std::setlocale(LC_ALL, name)) {
            comma = true;
            break;
        }
    }
    std::string error;
    const bool ok = writePolyFile(dir_ / "t.poly", oneTriangle(), error) &&
                    writeMeshFile(dir_ / "t.obj", onePart(), error) &&
                    writeMeshFile(dir_ / "t.3mf", onePart(), error);
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(readFile(dir_ / "t.poly").find(','), std::string::npos);
    EXPECT_EQ(readFile(dir_ / "t.obj").find(','), std::string::npos);
    const std::string model = meshtest::unzipMember(readFile(dir_ / "t.3mf"), "3D/3dmodel.model");
    EXPECT_NE(model.find("<vertex "), std::string::npos);
    EXPECT_EQ(model.find(','), std::string::npos);
    if (!comma) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
}

TEST_F(MeshFiles, EachObjectStaysItsOwnPartWithItsColour) {
    std::vector<MeshPart> parts(2);
    parts[0].name = "ball";
    parts[0].color = {255, 0, 0};
    parts[0].mesh = polygonizeToIndexedMesh(cube(10), sphereF);
    parts[1].name = "cut ring"; // a torus cut by its box: open
    parts[1].color = {0, 128, 255};
    MeshGrid g = cube(16, 6.0);
    g.zmax = 0.5;
    parts[1].mesh = polygonizeToIndexedMesh(g, torusF);
    ASSERT_TRUE(closed(parts[0].mesh));
    ASSERT_FALSE(closed(parts[1].mesh));
    std::size_t triangles = 0;
    for (const auto& p : parts)
        for (const auto& f : p.mesh.faces)
            triangles += f.count - 2;
    std::string error;

    ASSERT_TRUE(writeMeshFile(dir_ / "m.stl", parts, error)) << error;
    meshtest::Soup stl;
    ASSERT_TRUE(meshtest::readStl(readFile(dir_ / "m.stl"), stl));
    EXPECT_EQ(stl.triangles.size(), triangles); // one solid of both

    ASSERT_TRUE(writeMeshFile(dir_ / "m.obj", parts, error)) << error;
    meshtest::Soup obj;
    const std::string objText = readFile(dir_ / "m.obj");
    ASSERT_TRUE(meshtest::readObj(objText, obj));
    EXPECT_EQ(obj.names, (std::vector<std::string>{"ball", "cut_ring"}));
    EXPECT_NE(objText.find("mtllib m.mtl\n"), std::string::npos);
    EXPECT_NE(objText.find("usemtl cut_ring\n"), std::string::npos);
    const auto materials = meshtest::readMtl(readFile(dir_ / "m.mtl"));
    EXPECT_EQ(materials.at("ball"), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(materials.at("cut_ring"), (std::array<int, 3>{0, 128, 255}));

    ASSERT_TRUE(writeMeshFile(dir_ / "m.ply", parts, error)) << error;
    meshtest::Soup ply;
    ASSERT_TRUE(meshtest::readPly(readFile(dir_ / "m.ply"), ply));
    ASSERT_EQ(ply.faceColors.size(), triangles);
    EXPECT_EQ(ply.faceColors.front(), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(ply.faceColors.back(), (std::array<int, 3>{0, 128, 255}));

    ASSERT_TRUE(writeMeshFile(dir_ / "m.wrl", parts, error)) << error;
    const std::string wrl = readFile(dir_ / "m.wrl");
    EXPECT_EQ(wrl.rfind("#VRML V2.0 utf8\n", 0), 0u);
    const std::size_t first = wrl.find("Shape {"), second = wrl.find("Shape {", first + 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_NE(wrl.find("diffuseColor 1 0 0"), std::string::npos);
    EXPECT_NE(wrl.find("solid TRUE"), std::string::npos); // the closed ball, one-sided
    EXPECT_GT(wrl.find("solid FALSE"), second);           // the open ring, two-sided

    ASSERT_TRUE(writeMeshFile(dir_ / "m.3mf", parts, error)) << error;
    meshtest::Soup tmf;
    ASSERT_TRUE(meshtest::read3mf(readFile(dir_ / "m.3mf"), tmf));
    EXPECT_EQ(tmf.names, (std::vector<std::string>{"ball", "cut ring"}));
    EXPECT_EQ(tmf.colors, (std::vector<std::array<int, 3>>{{255, 0, 0}, {0, 128, 255}}));
    EXPECT_EQ(tmf.triangles.size(), triangles);
}

TEST_F(MeshFiles, FailuresLeaveNoFileBehind) {
    std::string error;
    EXPECT_FALSE(writeMeshFile(dir_ / "t.txt", onePart(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(writeMeshFile(dir_ / "t.poly", onePart(), error)); // .poly takes polygons
    EXPECT_EQ(entries(), 0u);

    error.clear();
    EXPECT_FALSE(writeMeshFile(dir_ / "missing" / "t.stl", onePart(), error));
    EXPECT_FALSE(error.empty());

    // The final name is a directory: the rename fails and the temporary files are removed.
    fs::create_directory(dir_ / "taken.obj");
    error.clear();
    EXPECT_FALSE(writeMeshFile(dir_ / "taken.obj", onePart(), error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(dir_ / "taken.obj"));
    EXPECT_EQ(entries(), 1u); // the materials are committed only after the mesh
    fs::create_directory(dir_ / "taken.3mf");
    EXPECT_FALSE(writeMeshFile(dir_ / "taken.3mf", onePart(), error));
    EXPECT_EQ(entries(), 2u);
}

TEST_F(MeshFiles, ReplacesAnExistingFileWhole) {
    const fs::path p = dir_ / "t.poly";
    std::ofstream(p) << std::string(10000, 'x');
    std::string error;
    ASSERT_TRUE(writePolyFile(p, oneTriangle(), error)) << error;
    EXPECT_EQ(readFile(p), "3 0 0.5 0 0.5 0 0 0 0 0.10000000000000001\n");
    EXPECT_EQ(entries(), 1u);
    ASSERT_TRUE(writeMeshFile(dir_ / "empty.stl", {}, error)) << error;
    EXPECT_EQ(fs::file_size(dir_ / "empty.stl"), 84u);
}

} // namespace
