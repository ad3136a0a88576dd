#include "export/output_paths.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "export/image_files.h"
#include "export/mesh_files.h"
#include "export/temp_registry.h"
#include "tests/support/scratch_dir.h"

namespace lv::exporter {
namespace {

namespace fs = std::filesystem;

// Every writer chooses its format by the same reading of a name's extension.
TEST(OutputPaths, OneExtensionRuleForEveryFormatChoice) {
    EXPECT_EQ(lowerExtension("out/Pic.PNG"), ".png");
    EXPECT_EQ(lowerExtension("a.b/c"), "");      // a dot in a folder is no extension
    EXPECT_EQ(lowerExtension("dir/.hidden"), ""); // nor is a leading one
    EXPECT_EQ(lowerExtension("film.tar.AVI"), ".avi");
    EXPECT_EQ(imageFormatFromPath("x.PnG"), ImageFormat::Png);
    EXPECT_EQ(imageFormatFromPath("x.png.bmp"), ImageFormat::Bitmap);
    EXPECT_EQ(meshFormatFromPath("m.3MF"), MeshFormat::ThreeMf);
    EXPECT_EQ(meshFormatFromPath("a.stl/m"), MeshFormat::Unknown);
}

TEST(OutputPaths, ProblemsNameTheReason) {
    test::ScratchDir dir;
    std::ofstream(dir.file("in.lv")) << "x";
    ASSERT_EQ(::symlink(dir.file("in.lv").c_str(), dir.file("link.bmp").c_str()), 0);
    EXPECT_EQ(outputPathProblem("", {}, {}), "an output name is needed");
    EXPECT_EQ(outputPathProblem(dir.file("a.gif"), {".bmp", ".png"}, {}),
              "cannot write .gif files; use .bmp or .png");
    EXPECT_EQ(outputPathProblem(dir.file("a"), {".avi"}, {}),
              "the name has no extension; use .avi");
    EXPECT_EQ(outputPathProblem(dir.path().string(), {}, {}), "is a folder");
    EXPECT_EQ(outputPathProblem(dir.file("link.bmp"), {".bmp"}, {"", dir.file("in.lv")}),
              "is the same file as the input " + dir.file("in.lv") + "; it is not overwritten");
    EXPECT_EQ(outputPathProblem(dir.file("none/a.bmp"), {".bmp"}, {}),
              "cannot write there: folder " + dir.file("none") + " does not exist");
    EXPECT_EQ(outputPathProblem(dir.file("A.BMP"), {".bmp"}, {dir.file("in.lv")}),
              std::nullopt);
}

TEST(OutputPaths, StagedFilesArePutInPlaceTogetherOrNotAtAll) {
    test::ScratchDir dir;
    const int registered = registeredTemporaryCount();
    {
        StagedOutputs staged;
        for (const char* name : {"a.avi", "b.bmp"}) {
            std::string part = staged.stage(dir.file(name));
            EXPECT_EQ(lowerExtension(part), lowerExtension(name)); // writers see the format
            std::ofstream(part) << name;
        }
        EXPECT_EQ(registeredTemporaryCount(), registered + 2);
        EXPECT_FALSE(fs::exists(dir.file("a.avi")));
        std::string error;
        ASSERT_TRUE(staged.commit(error)) << error;
    }
    EXPECT_EQ(test::readBytes(dir.file("b.bmp")).size(), 5u);
    EXPECT_EQ(test::filesIn(dir.path()), 2);
    EXPECT_EQ(registeredTemporaryCount(), registered);

    // Dropped without commit: nothing of the run is left, the earlier files are untouched.
    { StagedOutputs staged; std::ofstream(staged.stage(dir.file("a.avi"))) << "new"; }
    EXPECT_EQ(test::filesIn(dir.path()), 2);
    EXPECT_EQ(test::readBytes(dir.file("a.avi")).size(), 5u);

    // A rename that fails (the target became a folder) removes the files not yet renamed.
    StagedOutputs staged;
    std::ofstream(staged.stage(dir.file("c.bmp"))) << "c";
    fs::create_directory(dir.file("d.bmp"));
    fs::create_directory(dir.file("d.bmp/x"));
    std::ofstream(staged.stage(dir.file("d.bmp"))) << "d";
    std::ofstream(staged.stage(dir.file("e.bmp"))) << "e";
    std::string error;
    EXPECT_FALSE(staged.commit(error));
    EXPECT_EQ(error.rfind("cannot write '" + dir.file("d.bmp") + "': ", 0), 0u) << error;
    EXPECT_TRUE(fs::exists(dir.file("c.bmp")));
    EXPECT_FALSE(fs::exists(dir.file("e.bmp")));
    EXPECT_EQ(test::filesIn(dir.path()), 4); // a.avi, b.bmp, c.bmp and the folder d.bmp
    EXPECT_EQ(registeredTemporaryCount(), registered);
}

} // namespace
} // namespace lv::exporter
