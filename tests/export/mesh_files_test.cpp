#include "export/mesh_files.h"
#include "export/polygonize_mesh.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace lv::exporter;

constexpr double kR = 0.7;

float sphereF(float x, float y, float z) {
    const double dx = x - 0.031, dy = y + 0.017, dz = z - 0.023;
    return static_cast<float>(kR * kR - (dx * dx + dy * dy + dz * dz));
}

// Torus around Z with radii 0.6 and 0.25.
float torusF(float x, float y, float z) {
    const double q = std::sqrt(double(x) * x + double(y) * y) - 0.6;
    return static_cast<float>(0.25 * 0.25 - (q * q + double(z) * z));
}

// A block minus a sphere: sharp edges and a concave part.
float csgF(float x, float y, float z) {
    const double block = std::min({0.6 - std::fabs(x), 0.5 - std::fabs(y), 0.4 - std::fabs(z)});
    const double hole = 0.45 * 0.45 - ((x - 0.3) * (x - 0.3) + y * y + (z - 0.3) * (z - 0.3));
    return static_cast<float>(std::min(block, -hole));
}

MeshGrid cube(int n, double half = 1.0) {
    MeshGrid g;
    g.xmin = g.ymin = g.zmin = -half;
    g.xmax = g.ymax = g.zmax = half;
    g.nx = g.ny = g.nz = n;
    return g;
}

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

double signedVolume(const IndexedMesh& m) {
    double v = 0.0;
    for (const auto& f : m.faces) {
        for (int i = 1; i + 1 < f.count; ++i) {
            v += dot(m.vertices[f.v[0]], cross(m.vertices[f.v[i]], m.vertices[f.v[i + 1]])) / 6;
        }
    }
    return v;
}

// Undirected edge -> number of faces; directed edge -> number of faces.
struct EdgeCounts {
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> undirected, directed;
};

EdgeCounts countEdges(const IndexedMesh& m) {
    EdgeCounts c;
    for (const auto& f : m.faces) {
        for (int i = 0; i < f.count; ++i) {
            const std::uint32_t a = f.v[i], b = f.v[(i + 1) % f.count];
            ++c.directed[{a, b}];
            ++c.undirected[{std::min(a, b), std::max(a, b)}];
        }
    }
    return c;
}

bool isClosed(const IndexedMesh& m) {
    for (const auto& [edge, n] : countEdges(m).undirected) {
        if (n != 2) {
            return false;
        }
    }
    return !m.faces.empty();
}

bool isConsistentlyOriented(const IndexedMesh& m) {
    const EdgeCounts c = countEdges(m);
    for (const auto& [edge, n] : c.directed) {
        if (n != 1 || !c.directed.count({edge.second, edge.first})) {
            return false;
        }
    }
    return true;
}

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
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
    // A temporary stateful sampler is fine here: it lives for the call.
    const double r = 0.5;
    const Mesh small = polygonizeToMesh(cube(12), [r](float x, float y, float z) {
        return static_cast<float>(r * r - (x * x + y * y + z * z));
    });
    EXPECT_FALSE(small.polygons.empty());
    MeshGrid bad = cube(12);
    bad.nz = 0;
    EXPECT_TRUE(polygonizeToMesh(bad, sphereF).polygons.empty());
}

TEST(Mesh, WeldedSphereIsClosed) {
    for (int n : {8, 10, 13, 20, 31, 47}) {
        for (double shift : {0.0, 0.013, -0.029}) {
            MeshGrid g = cube(n);
            g.xmin += shift, g.xmax += shift, g.zmin -= shift, g.zmax -= shift;
            const IndexedMesh m = weldMesh(polygonizeToMesh(g, sphereF));
            EXPECT_TRUE(isClosed(m)) << "n = " << n << " shift " << shift;
            // Euler characteristic of a sphere (a quadrilateral's diagonal is no edge).
            const auto edges = countEdges(m).undirected.size();
            EXPECT_EQ(long(m.vertices.size()) - long(edges) + long(m.faces.size()), 2)
                << "n = " << n << " shift " << shift;
        }
    }
}

TEST(Mesh, OnlyTheDefaultWeldClosesDuplicateCheckSlivers) {
    // At n = 10 the sphere passes within 0.001 of grid corners: cells that merged two close
    // crossings leave slivers unless the neighbours' copies are merged as well.
    const Mesh mesh = polygonizeToMesh(cube(10), sphereF);
    const IndexedMesh exact = weldMesh(mesh, 0.0);
    const IndexedMesh tiny = weldMesh(mesh, 1e-9);
    const IndexedMesh welded = weldMesh(mesh);
    // Neighbouring cells compute a shared crossing from opposite ends of the grid edge, so
    // some copies differ in their last bits.
    EXPECT_GT(exact.vertices.size(), tiny.vertices.size());
    EXPECT_GT(tiny.vertices.size(), welded.vertices.size());
    EXPECT_FALSE(isClosed(tiny));
    EXPECT_TRUE(isClosed(welded));
}

TEST(Mesh, WeldDropsCollapsedAndFoldedFaces) {
    Mesh m;
    auto add = [&m](std::vector<Vec3> v) {
        double xs[4], ys[4], zs[4];
        for (std::size_t i = 0; i < v.size(); ++i) {
            xs[i] = v[i].x, ys[i] = v[i].y, zs[i] = v[i].z;
        }
        m.add(xs, ys, zs, static_cast<int>(v.size()));
    };
    add({{0, 0, 0}, {1, 0, 0}, {1, 1e-12, 0}, {0, 1, 0}}); // 1 and 2 merge: a triangle
    add({{0, 0, 0}, {0, 1, 0}, {-1, 0, 0}});               // kept
    add({{0, 0, 0}, {1e-13, 0, 0}, {1, 1, 0}});            // a segment: dropped
    add({{5, 0, 0}, {6, 0, 0}, {5, 1, 0}});                // a folded pair: both dropped
    add({{5, 1, 0}, {6, 0, 0}, {5, 0, 0}});
    const IndexedMesh w = weldMesh(m, 1e-9);
    ASSERT_EQ(w.faces.size(), 2u);
    EXPECT_EQ(w.faces[0].count, 3);
    EXPECT_EQ(w.faces[0].polygon, 0u);
    EXPECT_EQ(w.faces[1].count, 3);
    EXPECT_EQ(w.faces[1].polygon, 1u);
    EXPECT_EQ(w.vertices.size(), 4u); // only vertices that faces use
    EXPECT_EQ(w.vertices[w.faces[0].v[2]].y, 1.0);
}

struct Shape {
    const char* name;
    float (*f)(float, float, float);
    double volume; // 0: unknown
};

TEST(Mesh, OrientationPointsOutward) {
    const Shape shapes[] = {
        {"sphere", sphereF, 4.0 / 3.0 * M_PI * kR * kR * kR},
        {"torus", torusF, 2 * M_PI * M_PI * 0.6 * 0.25 * 0.25},
        {"csg", csgF, 0.0},
    };
    for (const Shape& s : shapes) {
        Mesh mesh = polygonizeToMesh(cube(41), s.f);
        orientOutward(mesh, s.f);
        const IndexedMesh m = weldMesh(mesh);
        const double v = signedVolume(m);
        EXPECT_GT(v, 0.0) << s.name;
        if (s.volume > 0) {
            EXPECT_NEAR(v, s.volume, 0.03 * s.volume) << s.name;
        }
        EXPECT_TRUE(isConsistentlyOriented(m)) << s.name;
        // Every face with some area points down the gradient of F.
        int inward = 0;
        for (const auto& f : m.faces) {
            Vec3 n, c;
            for (int i = 0; i < f.count; ++i) {
                const Vec3& a = m.vertices[f.v[i]];
                const Vec3& b = m.vertices[f.v[(i + 1) % f.count]];
                n = {n.x + (a.y - b.y) * (a.z + b.z), n.y + (a.z - b.z) * (a.x + b.x),
                     n.z + (a.x - b.x) * (a.y + b.y)};
                c = {c.x + a.x / f.count, c.y + a.y / f.count, c.z + a.z / f.count};
            }
            if (std::sqrt(dot(n, n)) < 1e-5) {
                continue;
            }
            const float e = 1e-3f, x = float(c.x), y = float(c.y), z = float(c.z);
            const Vec3 g{s.f(x + e, y, z) - s.f(x - e, y, z), s.f(x, y + e, z) - s.f(x, y - e, z),
                         s.f(x, y, z + e) - s.f(x, y, z - e)};
            inward += dot(n, g) > 0;
        }
        if (s.f != csgF) { // smooth shapes: no face disagrees with the gradient
            EXPECT_EQ(inward, 0) << s.name;
        }
    }
}

TEST(Mesh, OrientationFlipsAReversedMesh) {
    Mesh mesh = polygonizeToMesh(cube(17), sphereF);
    for (auto& p : mesh.polygons) {
        std::reverse(p.v, p.v + p.count);
    }
    Mesh copy = mesh;
    orientOutward(copy, sphereF);
    orientOutward(mesh, sphereF);
    EXPECT_GT(signedVolume(weldMesh(mesh)), 0.0);
    // Orienting twice changes nothing.
    orientOutward(copy, sphereF);
    ASSERT_EQ(copy.polygons.size(), mesh.polygons.size());
    EXPECT_EQ(std::memcmp(copy.polygons.data(), mesh.polygons.data(),
                          mesh.polygons.size() * sizeof(MeshPolygon)),
              0);
}

TEST(Mesh, FormatFollowsExtension) {
    EXPECT_EQ(meshFormatFromPath("a/b.poly"), MeshFormat::Poly);
    EXPECT_EQ(meshFormatFromPath("b.STL"), MeshFormat::Stl);
    EXPECT_EQ(meshFormatFromPath("b.Obj"), MeshFormat::Obj);
    EXPECT_EQ(meshFormatFromPath("b.ply"), MeshFormat::Ply);
    EXPECT_EQ(meshFormatFromPath("b.wrl"), MeshFormat::Wrl);
    EXPECT_EQ(meshFormatFromPath("b.txt"), MeshFormat::Unknown);
    EXPECT_EQ(meshFormatFromPath("dir.stl/b"), MeshFormat::Unknown);
    EXPECT_EQ(meshFormatFromPath("stl"), MeshFormat::Unknown);
}

TEST_F(MeshFiles, PolyIsOneLinePerPolygonWithSeventeenDigits) {
    const fs::path p = dir_ / "t.poly";
    std::string error;
    ASSERT_TRUE(writeMeshFile(p, oneTriangle(), {}, error)) << error;
    EXPECT_EQ(readFile(p), "3 0 0.5 0 0.5 0 0 0 0 0.10000000000000001\n");
}

TEST_F(MeshFiles, PolyKeepsEmissionOrderAndExactValues) {
    const Mesh mesh = polygonizeToMesh(cube(9), sphereF);
    const fs::path p = dir_ / "s.poly";
    std::string error;
    MeshWriteOptions options;
    options.inside = sphereF; // ignored by .poly
    ASSERT_TRUE(writeMeshFile(p, mesh, options, error)) << error;
    std::istringstream in(readFile(p));
    std::size_t i = 0;
    std::string line;
    while (std::getline(in, line)) {
        ASSERT_LT(i, mesh.polygons.size());
        std::istringstream fields(line);
        int n = 0;
        fields >> n;
        ASSERT_EQ(n, mesh.polygons[i].count);
        for (int k = 0; k < n; ++k) {
            std::string x, y, z;
            fields >> x >> y >> z;
            EXPECT_EQ(std::strtod(x.c_str(), nullptr), mesh.polygons[i].v[k].x);
            EXPECT_EQ(std::strtod(y.c_str(), nullptr), mesh.polygons[i].v[k].y);
            EXPECT_EQ(std::strtod(z.c_str(), nullptr), mesh.polygons[i].v[k].z);
        }
        ++i;
    }
    EXPECT_EQ(i, mesh.polygons.size());
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
    const fs::path p = dir_ / "t.poly";
    std::string error;
    const bool ok = writeMeshFile(p, oneTriangle(), {}, error);
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(readFile(p).find(','), std::string::npos);
    if (!comma) {
        GTEST_SKIP() << "no locale with a decimal comma installed";
    }
}

TEST_F(MeshFiles, StlObjPlyParseBackWithTheRightCounts) {
    const Mesh mesh = polygonizeToMesh(cube(20), sphereF);
    MeshWriteOptions options;
    options.inside = sphereF;
    IndexedMesh m = weldMesh(mesh);
    orientOutward(m, sphereF);
    std::size_t triangles = 0, quads = 0;
    for (const auto& f : m.faces) {
        (f.count == 3 ? triangles : quads)++;
    }
    ASSERT_GT(quads, 0u);
    std::string error;

    // Binary STL: header, count, 50 bytes per triangle; quadrilaterals give two triangles.
    ASSERT_TRUE(writeMeshFile(dir_ / "s.stl", mesh, options, error)) << error;
    const std::string stl = readFile(dir_ / "s.stl");
    ASSERT_GE(stl.size(), 84u);
    EXPECT_NE(stl.compare(0, 5, "solid"), 0);
    std::uint32_t count = 0;
    for (int i = 3; i >= 0; --i) {
        count = (count << 8) | static_cast<unsigned char>(stl[80 + i]);
    }
    EXPECT_EQ(count, triangles + 2 * quads);
    EXPECT_EQ(stl.size(), 84 + 50 * std::size_t(count));
    // Outward orientation survives: STL signed volume is positive.
    double volume = 0.0;
    for (std::uint32_t t = 0; t < count; ++t) {
        float v[12];
        std::memcpy(v, stl.data() + 84 + 50 * t, sizeof v);
        const Vec3 a{v[3], v[4], v[5]}, b{v[6], v[7], v[8]}, c{v[9], v[10], v[11]};
        volume += dot(a, cross(b, c)) / 6;
    }
    EXPECT_NEAR(volume, 4.0 / 3.0 * M_PI * kR * kR * kR, 0.05);

    // OBJ: v and f lines; triangles and quadrilaterals kept, 1-based indices.
    ASSERT_TRUE(writeMeshFile(dir_ / "s.obj", mesh, options, error)) << error;
    std::istringstream obj(readFile(dir_ / "s.obj"));
    std::size_t vs = 0, f3 = 0, f4 = 0;
    std::string line;
    while (std::getline(obj, line)) {
        std::istringstream fields(line);
        std::string tag;
        fields >> tag;
        if (tag == "v") {
            ++vs;
        } else if (tag == "f") {
            std::vector<long> idx;
            long k;
            while (fields >> k) {
                EXPECT_GE(k, 1);
                EXPECT_LE(k, static_cast<long>(m.vertices.size()));
                idx.push_back(k);
            }
            (idx.size() == 3 ? f3 : f4)++;
            EXPECT_TRUE(idx.size() == 3 || idx.size() == 4);
        }
    }
    EXPECT_EQ(vs, m.vertices.size());
    EXPECT_EQ(f3, triangles);
    EXPECT_EQ(f4, quads);

    // PLY: header counts match the body.
    ASSERT_TRUE(writeMeshFile(dir_ / "s.ply", mesh, options, error)) << error;
    std::istringstream ply(readFile(dir_ / "s.ply"));
    std::getline(ply, line);
    EXPECT_EQ(line, "ply");
    std::size_t nv = 0, nf = 0;
    while (std::getline(ply, line) && line != "end_header") {
        std::sscanf(line.c_str(), "element vertex %zu", &nv);
        std::sscanf(line.c_str(), "element face %zu", &nf);
    }
    EXPECT_EQ(nv, m.vertices.size());
    EXPECT_EQ(nf, m.faces.size());
    for (std::size_t i = 0; i < nv; ++i) {
        double x, y, z;
        ASSERT_TRUE(ply >> x >> y >> z);
        EXPECT_EQ(x, m.vertices[i].x);
    }
    std::size_t faces = 0;
    int n;
    while (ply >> n) {
        EXPECT_TRUE(n == 3 || n == 4);
        for (int k = 0; k < n; ++k) {
            long idx;
            ply >> idx;
            EXPECT_LT(idx, static_cast<long>(nv));
        }
        ++faces;
    }
    EXPECT_EQ(faces, nf);
}

TEST_F(MeshFiles, VrmlCarriesTheColourAndFaces) {
    MeshWriteOptions options;
    options.color = {255, 128, 0};
    std::string error;
    ASSERT_TRUE(writeMeshFile(dir_ / "t.wrl", oneTriangle(), options, error)) << error;
    const std::string text = readFile(dir_ / "t.wrl");
    EXPECT_EQ(text.rfind("#VRML V2.0 utf8\n", 0), 0u);
    const auto at = text.find("diffuseColor ");
    ASSERT_NE(at, std::string::npos);
    float r, g, b;
    ASSERT_EQ(std::sscanf(text.c_str() + at, "diffuseColor %f %f %f", &r, &g, &b), 3);
    EXPECT_EQ(r, 1.0f);
    EXPECT_EQ(g, static_cast<float>(128 * (1.0 / 255.0)));
    EXPECT_EQ(b, 0.0f);
    EXPECT_NE(text.find("IndexedFaceSet"), std::string::npos);
    EXPECT_NE(text.find("0 1 2 -1"), std::string::npos);
    EXPECT_NE(text.find("solid FALSE"), std::string::npos); // not oriented: two-sided
}

TEST_F(MeshFiles, FailuresLeaveNoFileBehind) {
    std::string error;
    EXPECT_FALSE(writeMeshFile(dir_ / "t.txt", oneTriangle(), {}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(entries(), 0u);

    error.clear();
    EXPECT_FALSE(writeMeshFile(dir_ / "missing" / "t.stl", oneTriangle(), {}, error));
    EXPECT_FALSE(error.empty());

    // The final name is a directory: the rename fails and the temporary file is removed.
    fs::create_directory(dir_ / "taken.obj");
    error.clear();
    EXPECT_FALSE(writeMeshFile(dir_ / "taken.obj", oneTriangle(), {}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(dir_ / "taken.obj"));
    EXPECT_EQ(entries(), 1u);
}

TEST_F(MeshFiles, ReplacesAnExistingFileWhole) {
    const fs::path p = dir_ / "t.poly";
    std::ofstream(p) << std::string(10000, 'x');
    std::string error;
    ASSERT_TRUE(writeMeshFile(p, oneTriangle(), {}, error)) << error;
    EXPECT_EQ(readFile(p), "3 0 0.5 0 0.5 0 0 0 0 0.10000000000000001\n");
    EXPECT_EQ(entries(), 1u);
    ASSERT_TRUE(writeMeshFile(dir_ / "empty.stl", Mesh{}, {}, error)) << error;
    EXPECT_EQ(fs::file_size(dir_ / "empty.stl"), 84u);
}

} // namespace
