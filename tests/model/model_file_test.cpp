#include "model/model_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "tests/model/fake_sources.h"
#include "tests/support/scratch_dir.h"

namespace lv::model {
namespace {

namespace fs = std::filesystem;

void writeAll(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class ModelFileTest : public ::testing::Test {
protected:
    lv::test::ScratchDir scratch;
    fs::path dir;
    std::string shapes; // a source below the model directory
    std::string outside = "/elsewhere/lib/shapes.lv";
    testing::FakeSources sources;

    void SetUp() override {
        dir = scratch.path();
        shapes = (dir / "src" / "shapes.lv").string();
        sources.texts[shapes] = testing::kShapes;
        sources.texts[outside] = testing::kShapes;
        sources.texts[(dir / "bad.lv").string()] = "p(x[3], a[0]) { p = ; }\n";
    }

    // A model with every kind of setting away from its default.
    ModelFileContents richContents() {
        ModelFileContents c;
        Model& m = c.model;
        ModelObject& q = *m.addObject(sources, "Quad one", "quad", shapes);
        assignAxis(q, XAxis, 3);
        setKind(q.xBindings, 0, T1);
        setValue(q.aBindings, 0, 0.1f);
        setKind(q.aBindings, 1, T3);
        q.transform = {{1.5f, -2.0f, 0.0f}, {0.0f, 90.0f, 33.3f}, {-1.0f, 2.0f, 1e-3f}};
        q.customBox = 1;
        q.ownBox = {-1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f};
        q.grid = {2, 40, 1000};
        q.polyColour = {1, 2, 3};
        q.rayColour = {255, 128, 0};
        q.autoMaxGradient = 0;
        q.maxGradient = 0.1f;
        q.accuracy = 1e-6f;
        m.addObject(sources, "", "ball", outside);
        m.settings.defaultBox = {-5.0f, -4.0f, -3.0f, 3.0f, 4.0f, 5.0f};
        m.settings.timeDefaults = {0.5f, 0.25f, 1.0f / 3.0f};
        m.settings.cameraPosition = {1.0f, 2.0f, 3.0f};
        m.settings.rayImage = {1600, 15};
        m.settings.polyBackground = {0, 0, 0};
        m.settings.surfaceKind = SurfaceWireframe;
        m.settings.flatShading = 0;
        c.timeRows = {{0.0f, 1.0f, 2.0f}, {0.1f, -1e20f, 3.5f}};
        c.eps = 0.001f;
        c.alpha = -1.0f;
        return c;
    }

    std::string path(const char* name) const { return (dir / name).string(); }
};

TEST_F(ModelFileTest, SaveLoadSaveGivesTheSameBytes) {
    std::string error;
    ModelFileContents original = richContents();
    ASSERT_TRUE(saveModelFile(path("a.lvm"), original, error)) << error;
    ModelFileContents loaded;
    ASSERT_TRUE(loadModelFile(path("a.lvm"), sources, loaded, error)) << error;
    ASSERT_TRUE(saveModelFile(path("b.lvm"), loaded, error)) << error;
    EXPECT_EQ(lv::test::readText(dir / "a.lvm"), lv::test::readText(dir / "b.lvm"));
    EXPECT_FALSE(fs::exists(dir / "a.lvm.tmp"));

    ASSERT_EQ(loaded.model.count(), 2);
    const ModelObject& q = loaded.model.object(0);
    EXPECT_EQ(q.name, "Quad one");
    EXPECT_EQ(q.sourcePath, shapes);
    EXPECT_EQ(q.xBindings.xIndex, 3);
    EXPECT_EQ(q.xBindings.bindings[0].kind, T1);
    EXPECT_EQ(q.aBindings.bindings[0].value, 0.1f);
    EXPECT_EQ(q.transform.rotate[2], 33.3f);
    EXPECT_EQ(q.grid, (std::array<int, 3>{2, 40, 1000}));
    EXPECT_EQ(q.rayColour, (Rgb{255, 128, 0}));
    EXPECT_EQ(q.accuracy, 1e-6f);
    EXPECT_EQ(loaded.model.object(1).sourcePath, outside);
    EXPECT_EQ(loaded.model.settings.timeDefaults[2], 1.0f / 3.0f);
    EXPECT_EQ(loaded.timeRows, original.timeRows);
    EXPECT_EQ(loaded.eps, 0.001f);
    EXPECT_EQ(loaded.alpha, -1.0f);
    ASSERT_EQ(loaded.model.prepareFrame(0, 0, 0, 0), 1);
    ASSERT_EQ(original.model.prepareFrame(0, 0, 0, 0), 1);
    EXPECT_EQ(loaded.model.sceneText(), original.model.sceneText());

    std::string text = lv::test::readText(dir / "a.lvm");
    EXPECT_NE(text.find("\"source\": \"src/shapes.lv\""), std::string::npos);
    EXPECT_NE(text.find("\"source\": \"/elsewhere/lib/shapes.lv\""), std::string::npos);
    EXPECT_NE(text.find("{\"kind\": \"T1\", \"value\": 0.0}"), std::string::npos);
}

TEST_F(ModelFileTest, AMinimalFileTakesTheDefaults) {
    std::string error;
    ModelFileContents c;
    ASSERT_TRUE(parseModelFile(R"({"format": "lumovar-model", "version": 1, "objects": [
        {"name": "b", "source": "src/shapes.lv", "function": "BALL"}]})",
                               "m.lvm", dir.string(), sources, c, error))
        << error;
    ASSERT_EQ(c.model.count(), 1);
    EXPECT_EQ(c.model.object(0).xBindings.zIndex, 2);
    EXPECT_EQ(c.model.object(0).grid[0], 25);
    EXPECT_EQ(c.eps, lang::kDefaultEps);
    EXPECT_TRUE(c.timeRows.empty());
}

// Each bad file gives an error naming the file (and the object at fault) and leaves the
// contents it was to fill as they were.
TEST_F(ModelFileTest, BadFilesAreRefusedWithoutChangingTheModel) {
    const std::string head = R"({"format": "lumovar-model", "version": 1, )";
    const std::string ball = R"("name": "b", "source": "src/shapes.lv", "function": "ball")";
    auto object = [&](const std::string& extra) {
        return head + R"("objects": [{)" + ball + extra + "}]}";
    };
    const std::pair<std::string, std::string> cases[] = {
        {"", "malformed JSON"},
        {"{\"format\": \"lumovar-model\", ", "malformed JSON"},
        {"[1, 2]", "expected an object"},
        {R"({"format": "other", "version": 1})", "not a model file"},
        {R"({"format": "lumovar-model", "version": 2})", "unsupported model file version 2"},
        {R"({"format": "lumovar-model"})", "missing field \"version\""},
        {head + R"("extra": 1})", "unknown field \"extra\""},
        {head + R"("eps": 1})", "EPS must be between"},
        {head + R"("alpha": 1.5})", "ALPHA must be in"},
        {head + R"("timeCurve": [[1, 2]]})", "timeCurve[1]: expected an array of 3"},
        {head + R"("timeCurve": [[1, 2, 1e39]]})", "timeCurve[1][3]: number out of range"},
        {head + R"("settings": {"rayImageSize": [19, 15]}})", "from 20 to 1600"},
        {head + R"("settings": {"polyBackground": [0, 256, 0]}})", "from 0 to 255"},
        {head + R"("settings": {"surfaceKind": 3}})", "surfaceKind"},
        {head + R"("settings": {"lighting": true}})", "expected an integer"},
        {head + R"("settings": {"camera": {"sky": [0, "1", 0]}}})", "expected a number"},
        {head + R"("objects": {}})", "objects: expected an array"},
        {object(R"(, "grid": [25, 1, 25])"), "object 1 'b': grid[2]: expected an integer from 2"},
        {object(R"(, "grid": [25, 25, 2.5])"), "expected an integer"},
        {object(R"(, "grid": [25, 25, 18446744073709551615])"), "from 2 to 1000"},
        {object(R"(, "accuracy": 0.5)"), "accuracy: must lie in"},
        {object(R"(, "maxGradient": 0.05)"), "maxGradient: must be at least 0.1"},
        {object(R"(, "customBox": 1, "box": [1, 0, 0, 0, 0, 0])"), "custom box"},
        {object(R"(, "transform": {"scale": [1, 1]})"), "transform.scale"},
        {object(R"(, "rayColour": [-1, 0, 0])"), "rayColour[1]"},
        {object(R"(, "x": [{"kind": "X"}, {"kind": "Y"}])"), "the function has 3 components"},
        {object(R"(, "x": [{"kind": "X"}, {"kind": "X"}, {"kind": "Z"}])"), "held twice"},
        {object(R"(, "x": [{"kind": "X"}, {"kind": "T1"}, {"kind": "Z"}])"),
         "X, Y and Z must each"},
        {object(R"(, "x": [{"kind": "X"}, {"kind": "Y"}, {"kind": "W"}])"), "x[3].kind"},
        {object(R"(, "a": [{"kind": "Z"}])"), "a[1]: an a component cannot hold an axis"},
        {object(R"(, "a": [{"kind": "T1", "value": "1"}])"), "a[1].value"},
        {object(R"(, "colour": 1)"), "unknown field \"colour\""},
        {head + R"("objects": [{"name": "b", "function": "ball"}]})", "missing field \"source\""},
        {head + R"("objects": [{"name": "", "source": "src/shapes.lv", "function": "ball"}]})",
         "name: expected a non-empty text"},
        {head + R"("objects": [{"name": "b", "source": "a.lv\u0000", "function": "ball"}]})",
         "source: expected a non-empty text"},
        {head + R"("objects": [{"name": "b", "source": "nowhere.lv", "function": "ball"}]})",
         "object 1 'b': cannot read " + (dir / "nowhere.lv").string()},
        {head + R"("objects": [{"name": "b", "source": "bad.lv", "function": "p"}]})",
         (dir / "bad.lv").string() + ":1:21: Expression expected"},
        {head + R"("objects": [{"name": "b", "source": "src/shapes.lv", "function": "cone"}]})",
         "has no function 'cone'"},
        {head + R"("objects": [{)" + ball + "}, {" + ball + "}]}",
         "object 2 'b': the name is used twice"},
    };
    for (const auto& [text, expected] : cases) {
        writeAll(dir / "bad.lvm", text);
        ModelFileContents c = richContents();
        std::string before = modelFileText(c, dir.string());
        std::string error;
        EXPECT_FALSE(loadModelFile(path("bad.lvm"), sources, c, error)) << text;
        EXPECT_NE(error.find(path("bad.lvm") + ": error: "), std::string::npos) << error;
        EXPECT_NE(error.find(expected), std::string::npos) << error << "\nwanted: " << expected;
        EXPECT_EQ(modelFileText(c, dir.string()), before) << text;
    }
}

TEST_F(ModelFileTest, DeepNestingAndMissingFilesAreErrors) {
    std::string error;
    ModelFileContents c;
    writeAll(dir / "deep.lvm", std::string(100000, '[') + std::string(100000, ']'));
    EXPECT_FALSE(loadModelFile(path("deep.lvm"), sources, c, error));
    EXPECT_FALSE(loadModelFile(path("none.lvm"), sources, c, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
    EXPECT_FALSE(saveModelFile((dir / "no" / "such" / "m.lvm").string(), c, error));
    EXPECT_NE(error.find("cannot write"), std::string::npos);
}

} // namespace
} // namespace lv::model
