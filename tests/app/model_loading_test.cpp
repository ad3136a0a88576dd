#include "app/model_loading.h"

#include <gtest/gtest.h>

#include <fstream>

#include "app/command_guards.h"
#include "lang/settings.h"
#include "tests/support/scratch_dir.h"

namespace lv::app {
namespace {

class ModelLoadingTest : public ::testing::Test {
protected:
    lv::test::ScratchDir scratch;
    SourceCache cache;
    model::ModelFileContents contents;

    std::string write(const std::string& name, const std::string& text) {
        std::string path = (scratch.path() / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    void TearDown() override {
        lang::setEps(lang::kDefaultEps);
        lang::setAlpha(lang::kDefaultAlpha);
    }
};

TEST_F(ModelLoadingTest, ObjectModelFindsTheObjectInAnyCaseAndNamesItInLowerCase) {
    std::string path = write("s.lv", "plane(x[2], a[0]) { plane = x[1]; }\n"
                                     "Ball(x[3], a[1]) { ball = a[1] - x[1]*x[1]; }\n");
    LoadOutcome out = loadObjectModel(cache, path, "BALL", "", contents);
    ASSERT_TRUE(out.ok()) << static_cast<int>(out.status);
    ASSERT_EQ(contents.model.count(), 1);
    EXPECT_EQ(contents.model.object(0).name, "ball");
    EXPECT_EQ(contents.model.object(0).sourcePath, path);
    EXPECT_EQ(contents.model.object(0).aBindings.count(), 1);
    // The file went through the cache: a second load compiles nothing new.
    EXPECT_EQ(cache.files().size(), 1u);

    model::ModelFileContents other;
    out = loadObjectModel(cache, path, "cone", "", other);
    EXPECT_EQ(out.status, LoadStatus::NoSuchObject);
    EXPECT_EQ(out.objectName, "cone");
    EXPECT_EQ(out.path, path);
    out = loadObjectModel(cache, path, "Plane", "", other);
    EXPECT_EQ(out.status, LoadStatus::TooFewX);
    EXPECT_EQ(out.objectName, "plane");
    EXPECT_EQ(other.model.count(), 0);
}

TEST_F(ModelLoadingTest, FailuresNameTheFileTheyConcern) {
    std::string lib = write("lib.lv", "r(x[3], a[1]) { r = x[1] * 2; }\n");
    std::string user = write("user.lv", "q(x[3], a[1]) { q = r(x, a) - 1; }\n");
    std::shared_ptr<const CompiledFile> file;
    // The library's objects are callable; without it the call does not compile.
    EXPECT_TRUE(loadSource(cache, user, lib, file).ok());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->objects.size(), 1u);
    LoadOutcome out = loadSource(cache, user, "", file);
    EXPECT_EQ(out.status, LoadStatus::CompileError);
    EXPECT_EQ(out.path, user);
    EXPECT_EQ(out.compileError.line, 1);

    std::string badLib = write("badlib.lv", "r(x[3], a[1]) {\n r = ; }\n");
    out = loadSource(cache, user, badLib, file);
    EXPECT_EQ(out.status, LoadStatus::CompileError);
    EXPECT_EQ(out.path, badLib);
    EXPECT_EQ(out.compileError.line, 2);

    out = loadSource(cache, user, (scratch.path() / "none.lv").string(), file);
    EXPECT_EQ(out.status, LoadStatus::Unreadable);
    EXPECT_EQ(out.path, (scratch.path() / "none.lv").string());
    EXPECT_EQ(out.readError, "No such file or directory");
    out = loadObjectModel(cache, (scratch.path() / "gone.lv").string(), "q", "", contents);
    EXPECT_EQ(out.status, LoadStatus::Unreadable);
    EXPECT_EQ(contents.model.count(), 0);
}

TEST_F(ModelLoadingTest, ModelFilePutsItsEpsAndAlphaInForceOnlyWhenValid) {
    model::ModelFileContents saved;
    saved.eps = 0.01f;
    saved.alpha = 0.5f;
    std::string path = (scratch.path() / "m.lvm").string();
    std::string error;
    ASSERT_TRUE(model::saveModelFile(path, saved, error)) << error;
    ASSERT_TRUE(openModelFile(path, cache, contents).ok());
    EXPECT_EQ(lang::eps(), 0.01f);
    EXPECT_EQ(lang::alpha(), 0.5f);

    lang::setEps(lang::kDefaultEps);
    std::string broken = write("broken.lvm", "{ \"format\": ");
    model::ModelFileContents none;
    LoadOutcome out = openModelFile(broken, cache, none);
    EXPECT_EQ(out.status, LoadStatus::ModelFileError);
    EXPECT_FALSE(out.readError.empty());
    EXPECT_EQ(lang::eps(), lang::kDefaultEps);
}

TEST_F(ModelLoadingTest, GuardsReadTheModelAndItsTimeCurve) {
    // The command line's refusals come from the desktop's guards, in the same order.
    std::string path = write("t.lv", "t(x[3], a[1]) { t = 1 - x[1]*x[1] - a[1]; }\n");
    EXPECT_EQ(renderGuard(modelGuardState(contents.model, 0))->message, AppMessage::NoObjects);
    ASSERT_TRUE(loadObjectModel(cache, path, "t", "", contents).ok());
    EXPECT_FALSE(renderGuard(modelGuardState(contents.model, 0)));
    auto refusal = animationGuard(modelGuardState(contents.model, 2));
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->message, AppMessage::NoTimeParameters);
    EXPECT_STREQ(refusal->text, "Some objects in model must have some time dependent parameters");
    ASSERT_TRUE(model::setKind(contents.model.object(0).aBindings, 0, model::T2));
    EXPECT_EQ(animationGuard(modelGuardState(contents.model, 0))->message,
              AppMessage::NoTimeCurve);
    EXPECT_FALSE(animationGuard(modelGuardState(contents.model, 1)));
}

} // namespace
} // namespace lv::app
