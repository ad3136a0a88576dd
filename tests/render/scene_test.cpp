#include "render/scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "export/model_mesh.h"
#include "model/grid_sampler.h"
#include "render/frame_window.h"
#include "tests/render/render_test_models.h"

namespace lv::render {
namespace {

using testing::addBall;

void expectNear(Vec3 a, Vec3 b, double tolerance = 1e-9) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

// Builds the scene of model for its single frame, counting the slices.
SceneView buildScene(model::Model& m, int* slices = nullptr) {
    SceneView scene;
    EXPECT_EQ(m.prepareFrame(0, 0, 0, 0), 1);
    EXPECT_TRUE(scene.create(m));
    EXPECT_TRUE(scene.build(m, [slices] {
        if (slices) ++*slices;
    }));
    m.releaseFrame();
    return scene;
}

TEST(SceneTransform, ScalesThenRotatesAboutXYZThenTranslatesRelativeToLookAt) {
    model::Transform t;
    t.scale = {-2.0f, 1.0f, 1.0f}; // the absolute value counts
    Mat4 m = objectTransform(t, {});
    expectNear(transformPoint(m, {1, 0, 0}), {2, 0, 0});

    t = {};
    t.rotate = {90.0f, 90.0f, 0.0f}; // X first: y -> z, then Y: z -> x
    expectNear(transformPoint(objectTransform(t, {}), {0, 1, 0}), {1, 0, 0});
    t.rotate = {0.0f, 0.0f, 90.0f}; // counterclockwise seen from +Z
    expectNear(transformPoint(objectTransform(t, {}), {1, 0, 0}), {0, 1, 0});

    t = {};
    t.translate = {1.0f, 2.0f, 3.0f};
    Mat4 placed = objectTransform(t, {1.0f, 1.0f, 1.0f});
    expectNear(transformPoint(placed, {}), {0, 1, 2});
}

TEST(SceneCamera, LooksAtTheLookAtPointWithUpFromTheSky) {
    model::Model m;
    m.settings.cameraPosition = {0, 0, 10};
    m.settings.sky = {0, 1, 0};
    SceneView scene;
    ASSERT_TRUE(scene.create(m));
    expectNear(scene.cameraDirection(), {0, 0, -10});
    expectNear(scene.cameraUp(), {0, 100, 0}); // unnormalised, as (dir x sky) x dir
    Mat4 clip = SceneView::projectionMatrix(160, 120) * scene.viewMatrix();
    expectNear(transformPoint(clip, {0, 0, 0}), {0, 0, transformPoint(clip, {}).z});
    // Half-field 0.5 across the wider side: at distance 10 the picture is 10 wide.
    EXPECT_NEAR(transformPoint(clip, {5, 0, 0}).x, 1.0, 1e-9);
    EXPECT_NEAR(transformPoint(clip, {0, 3.75, 0}).y, 1.0, 1e-9);
    EXPECT_GT(transformPoint(clip, {0, 1, 0}).y, 0.0); // the sky is up
}

TEST(SceneCamera, DegenerateSettingsStillGiveAFiniteView) {
    model::Model m;
    m.settings.sky = {1, 1, 1}; // parallel to the line of sight
    SceneView scene;
    ASSERT_TRUE(scene.create(m));
    for (double v : scene.viewMatrix().m) EXPECT_TRUE(std::isfinite(v));
    m.settings.cameraPosition = {0, 0, 0}; // at the look-at point
    ASSERT_TRUE(scene.create(m));
    for (double v : scene.viewMatrix().m) EXPECT_TRUE(std::isfinite(v));
}

TEST(SceneMouse, HorizontalDragTurnsAboutUpAndZoomStaysWithinRange) {
    model::Model m;
    m.settings.cameraPosition = {0, 0, 10};
    SceneView scene;
    ASSERT_TRUE(scene.create(m));
    const SceneView before = scene;
    scene.rotateByMouse(40, 10, 160, 120); // horizontal dominates: about the up vector only
    Vec3 front = transformPoint(scene.modelFrame(), {0, 0, 1});
    EXPECT_NEAR(front.y, 0.0, 1e-9);
    EXPECT_GT(front.x, 0.0); // the near side follows the mouse to the right

    scene.zoomByMouse(-1000, 120);
    EXPECT_NEAR(length(scene.cameraPosition()), 1.0, 1e-9);
    scene.zoomByMouse(100000, 120);
    EXPECT_NEAR(length(scene.cameraPosition()), 100.0, 1e-9);

    // Reset View: the camera and the model frame as create left them.
    scene.resetView();
    EXPECT_NEAR(length(scene.cameraPosition() - before.cameraPosition()), 0.0, 1e-12);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(scene.modelFrame().m[i], before.modelFrame().m[i]);
}

TEST(SceneMesh, NormalsFaceEachPolygonsOwnSideWhateverTheWinding) {
    // Two triangles of one plane sharing an edge, wound in opposite senses.
    ObjectMesh mesh;
    const double xa[] = {0, 1, 0}, ya[] = {0, 0, 1}, za[] = {0, 0, 0};
    const double xb[] = {1, 0, 1}, yb[] = {0, 1, 1}, zb[] = {0, 0, 0};
    mesh.addPolygon(xa, ya, za, 3);
    mesh.addPolygon(xb, yb, zb, 3);
    const double bad[] = {0, NAN, 0};
    mesh.addPolygon(bad, ya, za, 3); // dropped
    ASSERT_EQ(mesh.polygonCount(), 2);
    for (bool gouraud : {false, true}) {
        finishMesh(mesh, gouraud);
        ASSERT_EQ(mesh.triangleVertexCount(), 6);
        for (int v = 0; v < 6; ++v) {
            Vec3 n{mesh.normals[v * 3], mesh.normals[v * 3 + 1], mesh.normals[v * 3 + 2]};
            Vec3 f{mesh.faceNormals[v * 3], mesh.faceNormals[v * 3 + 1],
                   mesh.faceNormals[v * 3 + 2]};
            EXPECT_NEAR(length(n), 1.0, 1e-6); // shared vertices do not cancel out
            EXPECT_NEAR(dot(n, f), 1.0, 1e-6);
        }
        EXPECT_EQ(mesh.edges.size(), 12u);
    }
}

TEST(SceneMesh, GouraudJoinsTheCrossingsOfOneGridEdgeWhateverTheirRounding) {
    // Two triangles at right angles meet at a crossing of the grid edge y = z = 0, which each
    // computed with its own rounding (apart even in single precision).
    const double x = 0.3, nextX = std::nextafter(0.3f, 1.0f);
    const double xa[] = {x, 1, 1}, ya[] = {0, 0, 1}, za[] = {0, 0, 0};
    const double xb[] = {nextX, 1, 1}, yb[] = {0, 0, 0}, zb[] = {0, 0, 1};
    for (bool welded : {true, false}) {
        exporter::GridWelder welder(exporter::MeshGrid{0, 0, 0, 1, 1, 1, 1, 1, 1});
        ObjectMesh mesh;
        if (welded) {
            mesh.addPolygon(xa, ya, za, 3, welder);
            mesh.addPolygon(xb, yb, zb, 3, welder);
        } else { // without a welder only equal points are one
            mesh.addPolygon(xa, ya, za, 3);
            mesh.addPolygon(xb, yb, zb, 3);
        }
        finishMesh(mesh, true);
        ASSERT_EQ(mesh.triangleVertexCount(), 6);
        for (int corner : {0, 3}) { // the crossing's copy in each triangle
            const Vec3 n{mesh.normals[corner * 3], mesh.normals[corner * 3 + 1],
                         mesh.normals[corner * 3 + 2]};
            const Vec3 f{mesh.faceNormals[corner * 3], mesh.faceNormals[corner * 3 + 1],
                         mesh.faceNormals[corner * 3 + 2]};
            EXPECT_NEAR(dot(n, f), welded ? std::sqrt(0.5) : 1.0, 1e-6) << corner;
        }
    }
}

TEST(SceneMesh, QuadsBecomeTwoTrianglesWithAnOutlineOfFourEdges) {
    ObjectMesh mesh;
    const double x[] = {0, 1, 1, 0}, y[] = {0, 0, 1, 1}, z[] = {0, 0, 0, 0};
    mesh.addPolygon(x, y, z, 4);
    finishMesh(mesh, false);
    EXPECT_EQ(mesh.triangleVertexCount(), 6);
    EXPECT_EQ(mesh.edges, (std::vector<std::uint32_t>{0, 1, 1, 2, 4, 5, 5, 3}));
    for (int v = 0; v < 6; ++v) { // flat: every corner is lit at the centroid
        EXPECT_FLOAT_EQ(mesh.litPoints[v * 3], 0.5f);
        EXPECT_FLOAT_EQ(mesh.litPoints[v * 3 + 1], 0.5f);
    }
}

TEST(SceneBuild, PolygonizesEachObjectOverItsOwnBoxWithProgressPerSlice) {
    model::Model m;
    model::ModelObject& own = addBall(m, "own", 6);
    own.customBox = 1;
    own.ownBox = {0, 0, 0, 10, 10, 10}; // one octant of the ball
    own.grid = {6, 7, 9};
    own.polyColour = {255, 0, 0};
    addBall(m, "whole", 6);
    model::ModelObject& empty = addBall(m, "empty", 4);
    empty.customBox = 1;
    empty.ownBox = {6, 6, 6, 9, 9, 9}; // no surface inside
    int slices = 0;
    SceneView scene = buildScene(m, &slices);
    EXPECT_EQ(slices, 9 + 6 + 4);
    ASSERT_EQ(scene.meshes().size(), 3u);
    const ObjectMesh& octant = scene.meshes()[0];
    ASSERT_GT(octant.polygonCount(), 0);
    for (float v : octant.vertices) EXPECT_GE(v, -1e-4f);
    EXPECT_EQ(octant.colour, (std::array<float, 3>{1.0f, 0.0f, 0.0f}));
    float low = 0.0f;
    for (float v : scene.meshes()[1].vertices) low = std::min(low, v);
    EXPECT_LT(low, -4.0f);
    EXPECT_EQ(scene.meshes()[2].polygonCount(), 0);
}

TEST(SceneBuild, MeshesHoldThePolygonsOfTheMeshExportInItsOrder) {
    model::Model m;
    addBall(m, "fine", 44); // fine enough for bounds to prune blocks
    model::ModelObject& own = addBall(m, "own", 6);
    own.customBox = 1;
    own.ownBox = {0, 0, 0, 10, 10, 10};
    own.grid = {6, 7, 9};
    const bool pruning = model::samplingPrunes();
    for (bool prune : {true, false}) {
        model::setSamplingPrunes(prune);
        ASSERT_EQ(m.prepareFrame(0, 0, 0, 0), 1);
        SceneView scene;
        ASSERT_TRUE(scene.create(m));
        ASSERT_TRUE(scene.build(m, {}));
        exporter::ModelMeshOptions options;
        options.raw = true;
        options.prune = prune;
        const exporter::ModelMesh exported = exporter::polygonizeModel(m, options);
        m.releaseFrame();
        std::vector<float> vertices;
        std::vector<std::uint8_t> sizes;
        for (const ObjectMesh& mesh : scene.meshes()) {
            vertices.insert(vertices.end(), mesh.vertices.begin(), mesh.vertices.end());
            sizes.insert(sizes.end(), mesh.polygonSizes.begin(), mesh.polygonSizes.end());
        }
        std::vector<float> expected;
        std::vector<std::uint8_t> expectedSizes;
        for (const exporter::MeshPolygon& p : exported.polygons.polygons) {
            expectedSizes.push_back(static_cast<std::uint8_t>(p.count));
            for (int k = 0; k < p.count; ++k)
                expected.insert(expected.end(), {static_cast<float>(p.v[k].x),
                                                 static_cast<float>(p.v[k].y),
                                                 static_cast<float>(p.v[k].z)});
        }
        EXPECT_GT(scene.meshes()[0].polygonCount(), 1000);
        EXPECT_EQ(sizes, expectedSizes);
        EXPECT_EQ(vertices, expected);
    }
    model::setSamplingPrunes(pruning);
}

TEST(SceneBuild, RefusesAnUnpreparedModel) {
    model::Model m;
    addBall(m);
    SceneView scene;
    EXPECT_FALSE(scene.build(m, {})); // not created
    ASSERT_TRUE(scene.create(m));
    EXPECT_FALSE(scene.build(m, {})); // no frame prepared
}

// ---- Pictures drawn with the headless context ----

struct Picture {
    RgbaImage image;
    int count = 0;            // pixels that differ from the background
    double cx = 0, cy = 0;    // their centroid
};

Picture render(model::Model& m, int width = 160, int height = 120) {
    SceneView scene = buildScene(m);
    Picture p;
    std::string error;
    EXPECT_TRUE(renderSceneOffscreen(scene, width, height, p.image, error)) << error;
    const model::Rgb& bg = m.settings.polyBackground;
    for (int y = 0; y < p.image.height; ++y)
        for (int x = 0; x < p.image.width; ++x) {
            const std::uint8_t* px = p.image.at(x, y);
            if (std::abs(px[0] - bg.red) + std::abs(px[1] - bg.green) +
                    std::abs(px[2] - bg.blue) > 6) {
                ++p.count;
                p.cx += x;
                p.cy += y;
            }
        }
    if (p.count) p.cx /= p.count, p.cy /= p.count;
    return p;
}

int differingPixels(const RgbaImage& a, const RgbaImage& b) {
    int n = 0;
    for (std::size_t i = 0; i < a.pixels.size(); i += 4)
        if (std::abs(a.pixels[i] - b.pixels[i]) + std::abs(a.pixels[i + 1] - b.pixels[i + 1]) +
                std::abs(a.pixels[i + 2] - b.pixels[i + 2]) > 6)
            ++n;
    return n;
}

// The ball seen from (0, 0, 20): the light at (10, 10, 10) is up and to the right.
model::Model frontView() {
    model::Model m;
    m.settings.cameraPosition = {0, 0, 20};
    m.settings.polyBackground = {10, 20, 200};
    addBall(m, "ball", 20);
    return m;
}

TEST(ScenePicture, BackgroundInTheCornersObjectLitBrighterTowardsTheLight) {
    LV_REQUIRE_GL();
    model::Model m = frontView();
    Picture p = render(m);
    ASSERT_EQ(p.image.width, 160);
    for (auto [x, y] : {std::pair{0, 0}, {159, 0}, {0, 119}, {159, 119}}) {
        const std::uint8_t* px = p.image.at(x, y);
        EXPECT_NEAR(px[0], 10, 1);
        EXPECT_NEAR(px[1], 20, 1);
        EXPECT_NEAR(px[2], 200, 1);
    }
    EXPECT_NEAR(p.cx, 79.5, 1.5);
    EXPECT_NEAR(p.cy, 59.5, 1.5);
    const std::uint8_t* lit = p.image.at(100, 40);  // upper right of the ball
    const std::uint8_t* dark = p.image.at(60, 80);  // lower left
    EXPECT_EQ(lit[0], 0);
    EXPECT_EQ(lit[2], 0);
    EXPECT_GT(lit[1], 130);           // ambient 0.2 + most of the point light's 0.5
    EXPECT_NEAR(dark[1], 51, 4);      // ambient only: 0.2 of full green
    EXPECT_GT(lit[1], dark[1] + 60);
}

TEST(ScenePicture, LightingOffShowsThePlainColour) {
    LV_REQUIRE_GL();
    model::Model m = frontView();
    m.settings.lightingOn = 0;
    Picture p = render(m);
    for (auto [x, y] : {std::pair{100, 40}, {60, 80}, {80, 60}}) {
        const std::uint8_t* px = p.image.at(x, y);
        EXPECT_EQ(px[0], 0);
        EXPECT_EQ(px[1], 255);
        EXPECT_EQ(px[2], 0);
    }
}

TEST(ScenePicture, PointsWireframeAndSolidDiffer) {
    LV_REQUIRE_GL();
    model::Model m = frontView();
    m.settings.surfaceKind = model::SurfacePoints;
    Picture points = render(m);
    m.settings.surfaceKind = model::SurfaceWireframe;
    Picture wires = render(m);
    m.settings.surfaceKind = model::SurfaceSolid;
    Picture solid = render(m);
    EXPECT_GT(points.count, 50);
    EXPECT_LT(points.count * 2, wires.count);
    EXPECT_LT(wires.count + 300, solid.count);
    EXPECT_GT(differingPixels(wires.image, solid.image), 300);
}

TEST(ScenePicture, FlatAndGouraudDifferOnASphere) {
    LV_REQUIRE_GL();
    model::Model m = frontView();
    m.object(0).grid = {10, 10, 10}; // coarse facets make flat shading plain to see
    Picture flat = render(m);
    m.settings.flatShading = 0;
    Picture gouraud = render(m);
    EXPECT_NEAR(flat.count, gouraud.count, flat.count / 50); // the same silhouette
    EXPECT_GT(differingPixels(flat.image, gouraud.image), flat.count / 10);
    // Gouraud shades smoothly: many more distinct greens than there are facets in view.
    auto greens = [](const RgbaImage& image) {
        std::array<bool, 256> seen{};
        for (std::size_t i = 0; i < image.pixels.size(); i += 4) seen[image.pixels[i + 1]] = true;
        return std::count(seen.begin(), seen.end(), true);
    };
    EXPECT_GT(greens(gouraud.image), greens(flat.image));
}

TEST(ScenePicture, TransformsMoveAndScaleTheObject) {
    LV_REQUIRE_GL();
    model::Model m = frontView();
    Picture centred = render(m);
    m.object(0).transform.translate = {4.0f, 2.0f, 0.0f};
    Picture moved = render(m);
    EXPECT_GT(moved.cx, centred.cx + 20); // right
    EXPECT_LT(moved.cy, centred.cy - 10); // and up
    m.object(0).transform = {};
    m.object(0).transform.scale = {0.5f, -0.5f, 0.5f};
    Picture small = render(m);
    EXPECT_NEAR(small.count, centred.count / 4.0, centred.count / 20.0);
}

TEST(ScenePicture, AnEmptyModelGivesAPlainBackground) {
    LV_REQUIRE_GL();
    model::Model m;
    m.settings.polyBackground = {255, 0, 0};
    Picture p = render(m, 64, 48);
    EXPECT_EQ(p.count, 0);
    EXPECT_EQ(p.image.at(31, 23)[0], 255);
}

TEST(ScenePicture, UnusableSizesFailCleanly) {
    SceneView scene;
    RgbaImage image;
    std::string error;
    EXPECT_FALSE(renderSceneOffscreen(scene, 0, 10, image, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(renderSceneOffscreen(scene, 10, kMaxImageSide + 1, image, error));
}

} // namespace
} // namespace lv::render
