// The mesh of a whole model: an object whose surface misses its box is left out or ends the run,
// failures count only from the objects polygonized, and pruned sampling on threads gives the
// parts and polygons of plain point-by-point sampling.
#include "export/model_mesh.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/grid_sampler.h"
#include "tests/model/fake_sources.h"

namespace lv::exporter {
namespace {

using model::testing::FakeSources;

// far: no surface anywhere; div fails where x[1] = 0 (line 3).
const char* kText = "ball(x[3], a[1]) { ball = a[1]^2 - x[1]^2 - x[2]^2 - x[3]^2; }\n"
                    "far(x[3], a[0]) { far = -1 - x[1]^2; }\n"
                    "div(x[3], a[0]) { div = 1 / x[1]; }\n";

struct Fixture {
    FakeSources sources;
    model::Model model;

    Fixture() { sources.texts["/src/m.lv"] = kText; }

    model::ModelObject& add(const std::string& name, const std::string& function) {
        model::ModelObject* o = model.addObject(sources, name, function, "/src/m.lv");
        if (o == nullptr) throw std::runtime_error("cannot add " + function);
        return *o;
    }
};

std::vector<std::string> partNames(const ModelMesh& mesh) {
    std::vector<std::string> names;
    for (const MeshPart& part : mesh.parts) names.push_back(part.name);
    return names;
}

TEST(ModelMesh, EmptyObjectIsSkippedOrEndsTheRunAndFailuresCountOnlyWhatRan) {
    Fixture f;
    model::setValue(f.add("first", "ball").aBindings, 0, 3.0f);
    f.add("empty", "far");
    f.add("failing", "div").grid = {20, 20, 20}; // x = 0 is a grid point
    ASSERT_EQ(f.model.prepareFrame(0, 0, 0, 0), 1);

    int slices = 0;
    ModelMeshOptions options;
    options.empty = EmptyObject::Skip;
    options.progress = [&](int, int) { ++slices; };
    const ModelMesh skipped = polygonizeModel(f.model, options);
    EXPECT_EQ(partNames(skipped), (std::vector<std::string>{"first", "failing"}));
    EXPECT_EQ(skipped.emptyObject, -1);
    EXPECT_EQ(slices, 25 + 25 + 20);
    EXPECT_GT(skipped.failures, 0);
    EXPECT_EQ(skipped.firstErrorObject, 2);
    EXPECT_STREQ(skipped.firstError.message, "Division by zero");
    EXPECT_EQ(skipped.firstError.line, 3);

    ASSERT_EQ(f.model.prepareFrame(0, 0, 0, 0), 1); // fresh failure counts
    slices = 0;
    options.empty = EmptyObject::Stop;
    const ModelMesh stopped = polygonizeModel(f.model, options);
    EXPECT_EQ(partNames(stopped), (std::vector<std::string>{"first"}));
    EXPECT_EQ(stopped.emptyObject, 1);
    EXPECT_EQ(slices, 25 + 25);
    EXPECT_EQ(stopped.failures, 0);
    EXPECT_EQ(stopped.firstErrorObject, -1);

    options.raw = true;
    const ModelMesh raw = polygonizeModel(f.model, options);
    EXPECT_TRUE(raw.parts.empty());
    EXPECT_FALSE(raw.polygons.polygons.empty());
    EXPECT_EQ(raw.emptyObject, 1);
}

bool samePoints(const Vec3* a, const Vec3* b, std::size_t n) {
    return std::memcmp(a, b, n * sizeof(Vec3)) == 0;
}

TEST(ModelMesh, PrunedAndThreadedSamplingGiveThePlainPolygonsBitForBit) {
    Fixture f;
    model::ModelObject& ball = f.add("ball", "ball");
    model::setValue(ball.aBindings, 0, 6.5f);
    ball.grid = {48, 44, 52}; // fine enough to prune
    ball.transform.translate = {1.5f, -2.0f, 0.25f};
    ball.transform.rotate = {10.0f, 0.0f, 30.0f};
    ASSERT_EQ(f.model.prepareFrame(0, 0, 0, 0), 1);
    const int threads = model::samplingThreads();
    model::setSamplingThreads(3);

    for (bool raw : {false, true}) {
        ModelMeshOptions plain;
        plain.raw = raw;
        plain.prune = false;
        plain.blocks = false;
        const ModelMesh a = polygonizeModel(f.model, plain);
        for (int way = 1; way < 4; ++way) {
            ModelMeshOptions other = plain;
            other.prune = (way & 1) != 0;
            other.blocks = (way & 2) != 0;
            SCOPED_TRACE(std::string(raw ? "raw" : "welded") + (other.prune ? " pruned" : "") +
                         (other.blocks ? " blocks" : ""));
            const ModelMesh b = polygonizeModel(f.model, other);
            if (raw) {
                ASSERT_GT(a.polygons.polygons.size(), 1000u);
                ASSERT_EQ(a.polygons.polygons.size(), b.polygons.polygons.size());
                for (std::size_t i = 0; i < a.polygons.polygons.size(); ++i) {
                    const MeshPolygon &p = a.polygons.polygons[i], &q = b.polygons.polygons[i];
                    ASSERT_EQ(p.count, q.count);
                    ASSERT_TRUE(samePoints(p.v, q.v, static_cast<std::size_t>(p.count))) << i;
                }
                continue;
            }
            ASSERT_EQ(a.parts.size(), 1u);
            ASSERT_EQ(b.parts.size(), 1u);
            const IndexedMesh &m = a.parts[0].mesh, &n = b.parts[0].mesh;
            ASSERT_GT(m.faces.size(), 1000u);
            ASSERT_EQ(m.vertices.size(), n.vertices.size());
            EXPECT_TRUE(samePoints(m.vertices.data(), n.vertices.data(), m.vertices.size()));
            ASSERT_EQ(m.faces.size(), n.faces.size());
            for (std::size_t i = 0; i < m.faces.size(); ++i)
                ASSERT_EQ(std::memcmp(m.faces[i].v, n.faces[i].v, sizeof m.faces[i].v), 0) << i;
        }
    }
    model::setSamplingThreads(threads);
}

} // namespace
} // namespace lv::exporter
