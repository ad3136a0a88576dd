#include "export/raytrace.h"

#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "export/povray_runner.h"
#include "export/raytrace_scene.h"
#include "lang/compiler.h"
#include "model/model_file.h"
#include "tests/support/scratch_dir.h"

namespace lv::exporter {
namespace {

namespace fs = std::filesystem;

// Sets or unsets an environment variable for one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

#define LV_REQUIRE_POVRAY()                                                                    \
    do {                                                                                       \
        std::string povrayError;                                                               \
        if (findPovray(povrayError).empty()) GTEST_SKIP() << povrayError;                      \
    } while (0)

// Compiles the program files a model file names.
class FileSources : public model::SourceProvider {
public:
    model::SourceObjects compiledObjects(const std::string& path) override {
        model::SourceObjects result;
        std::ifstream in(path, std::ios::binary);
        if (!in) return result;
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<lang::CompileError> errors;
        lang::compileProgram(text.c_str(), result.objects, errors, {});
        result.status = errors.empty() ? model::SourceObjects::Status::Compiled
                                       : model::SourceObjects::Status::HasError;
        return result;
    }
};

// A ball of radius 4 at the origin in the default box, red on blue. text may give another
// ball(x[3], a[1]).
model::Model ballModel(
    const char* text = "ball(x[3], a[1]) { ball = a[1]^2 - x[1]^2 - x[2]^2 - x[3]^2; }") {
    lang::ObjectList objects;
    std::vector<lang::CompileError> errors;
    lang::compileProgram(text, objects, errors, {});
    EXPECT_TRUE(errors.empty());
    model::Model m;
    auto ball = std::make_unique<model::ModelObject>(
        model::makeModelObject("ball", lang::findObject(objects, "ball"), "/src/ball.lv"));
    ball->aBindings.bindings[0].value = 4.0f;
    ball->rayColour = {255, 0, 0};
    m.appendObject(std::move(ball));
    m.settings.rayBackground = {0, 0, 255};
    return m;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;

    std::array<int, 3> at(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

Picture readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture p;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
    image.format = PNG_FORMAT_RGB;
    p.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr)) return {};
    p.width = static_cast<int>(image.width);
    p.height = static_cast<int>(image.height);
    return p;
}

// The number of 4-connected regions of at least 20 pixels where inRegion holds.
template <class Predicate>
int regions(const Picture& p, Predicate inRegion) {
    std::vector<char> seen(static_cast<std::size_t>(p.width * p.height), 0);
    int count = 0;
    for (int start = 0; start < p.width * p.height; ++start) {
        if (seen[static_cast<std::size_t>(start)] ||
            !inRegion(p.at(start % p.width, start / p.width)))
            continue;
        int size = 0;
        std::vector<int> stack = {start};
        seen[static_cast<std::size_t>(start)] = 1;
        while (!stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            ++size;
            const int x = at % p.width, y = at / p.width;
            const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (const auto& n : next) {
                if (n[0] < 0 || n[1] < 0 || n[0] >= p.width || n[1] >= p.height) continue;
                const int k = n[1] * p.width + n[0];
                if (seen[static_cast<std::size_t>(k)] || !inRegion(p.at(n[0], n[1]))) continue;
                seen[static_cast<std::size_t>(k)] = 1;
                stack.push_back(k);
            }
        }
        if (size >= 20) ++count;
    }
    return count;
}

// Whether process pid still runs (a zombie waiting for its parent counts as ended).
bool running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

// Whether each of pids has ended within two seconds.
bool allEnd(const std::vector<pid_t>& pids) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (pid_t pid : pids)
        while (running(pid))
            if (std::chrono::steady_clock::now() > until) return false;
    return true;
}

// A stand-in for the ray tracer in folder: a script that starts a long sleep of its own and
// writes both process ids, once both run, to the file pids there, then waits.
std::string sleepingRayTracer(const test::ScratchDir& folder) {
    const std::string script = folder.file("povray");
    std::ofstream(script) << "#!/bin/sh\nsleep 30 &\necho \"$$ $!\" > " << folder.file("pids.tmp")
                          << "\nmv " << folder.file("pids.tmp") << " " << folder.file("pids")
                          << "\nwait\n";
    ::chmod(script.c_str(), 0755);
    return script;
}

class RaytraceTest : public ::testing::Test {
protected:
    RaytraceRequest request(const std::string& name, int width, int height) {
        RaytraceRequest r;
        r.output = scratch_.file(name);
        r.width = width, r.height = height;
        return r;
    }
    // Nothing but the expected files is left in the scratch folder (the temporary folders live
    // in it too while a test runs).
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(scratch_.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::ScratchDir scratch_;
    ScopedEnv tmpdir_{"TMPDIR", scratch_.path().c_str()};
};

TEST(RayScene, PlacesEachDensityOverItsBoxWithTheObjectsLook) {
    model::ModelSettings settings;
    settings.rayBackground = {0, 128, 255};
    RayObject o;
    o.name = "odd \"name\"\nhere";
    o.densityFile = "object1.df3";
    o.grid.xmin = o.grid.ymin = o.grid.zmin = -10.0;
    o.grid.xmax = o.grid.ymax = o.grid.zmax = 10.0;
    o.grid.nx = o.grid.ny = o.grid.nz = 4;
    o.grid.zmax = 30.0; // cells of 10 along Z
    o.colour = {255, 128, 0};
    o.accuracy = 0.0005f;
    o.maxGradient = 0.75;
    o.transform.scale = {-2.0f, 1.0f, 0.5f};
    o.transform.rotate = {10.0f, 0.0f, -30.0f};
    o.transform.translate = {1.5f, 0.0f, -2.0f};
    const std::string text = rayScene(settings, 200, 100, {o});
    EXPECT_NE(text.find("right <-2, 0, 0>"), std::string::npos) << text; // square pixels
    EXPECT_NE(text.find("location <10, 10, 10>"), std::string::npos);
    EXPECT_NE(text.find("background { color rgb <0, 0.50196078, 1> }"), std::string::npos);
    EXPECT_NE(text.find("// odd \"name\"?here\n"), std::string::npos);
    // Five points along each axis: point 4 of 5 lands on the box's upper face.
    EXPECT_NE(text.find("density_file df3 \"object1.df3\" interpolate 1"), std::string::npos);
    EXPECT_NE(text.find("scale <25, 25, 50> translate <-10, -10, -10>"), std::string::npos);
    EXPECT_NE(text.find("box { <-9.95, -9.95, -9.9>, <9.95, 9.95, 29.9> }"), std::string::npos);
    EXPECT_NE(text.find("function { 0.5 - Density1(x, y, z) }"), std::string::npos);
    EXPECT_NE(text.find("accuracy 0.0005\n  max_gradient 0.75\n"), std::string::npos) << text;
    EXPECT_NE(text.find("pigment { color rgb <1, 0.50196078, 0> }"), std::string::npos);
    EXPECT_NE(text.find("scale <2, 1, 0.5>\n  rotate <10, 0, -30>\n  translate <1.5, 0, -2>"),
              std::string::npos);

    RayImageOptions options;
    options.sceneFile = "scene.pov";
    options.outputFile = "scene.bmp";
    options.format = RayImageFormat::Bitmap;
    options.width = 64, options.height = 48;
    const std::string ini = rayOptions(options);
    for (const char* line : {"Input_File_Name=scene.pov\n", "Output_File_Name=scene.bmp\n",
                             "Output_File_Type=B\n", "Width=64\n", "Height=48\n",
                             "Display=Off\n", "Antialias=Off\n"})
        EXPECT_NE(ini.find(line), std::string::npos) << line;
}

TEST(PovrayRunner, PicksItsOwnErrorsAndWarningsOutOfItsOutput) {
    const std::string failed = "povray: cannot open the user configuration file x\n"
                               "==== [Parsing...] =====\n\n"
                               "File 'scene.pov' line 3: Parse Error: Camera location and "
                               "look_at point must be\n different.\n"
                               "Fatal error in parser: Cannot parse input.\n\nRender failed\n";
    EXPECT_EQ(povrayErrorLines(failed),
              "File 'scene.pov' line 3: Parse Error: Camera location and look_at point must "
              "be\n different.\nFatal error in parser: Cannot parse input.\nRender failed");
    EXPECT_EQ(povrayErrorLines("a\n\nb\nc\n"), "a\nb\nc"); // no error line: the tail
    const std::string done = "Warning Stream to console.......On\n"
                             "Shutdown Warning: The maximum gradient found was 2.6, but\n"
                             " max_gradient was set to 3.2. Adjust max_gradient to get a "
                             "faster rendering of\n the isosurface.\n"
                             "Shutdown Warning: The maximum gradient found was 9, but\n"
                             " max_gradient was 3. The isosurface may contain holes!\n"
                             "POV-Ray finished\n";
    EXPECT_EQ(povrayWarningLines(done), "Shutdown Warning: The maximum gradient found was 9, "
                                        "but\n max_gradient was 3. The isosurface may contain "
                                        "holes!\n");
}

TEST_F(RaytraceTest, AMissingRayTracerNamesThePackageAndWritesNothing) {
    model::Model m = ballModel();
    std::string error;
    RaytraceResult result;
    {
        ScopedEnv povray(kPovrayVariable, "/nonexistent/povray");
        EXPECT_TRUE(findPovray(error).empty());
        EXPECT_NE(error.find("LUMOVAR_POVRAY names '/nonexistent/povray'"), std::string::npos);
        EXPECT_FALSE(raytraceModel(m, request("out.png", 32, 24), result, error));
        EXPECT_NE(error.find("Debian package povray"), std::string::npos) << error;
    }
    {
        ScopedEnv povray(kPovrayVariable, nullptr);
        ScopedEnv path("PATH", scratch_.path().c_str());
        error.clear();
        EXPECT_FALSE(raytraceModel(m, request("out.png", 32, 24), result, error));
        EXPECT_NE(error.find("povray was not found on PATH"), std::string::npos) << error;
        EXPECT_NE(error.find("Debian package povray"), std::string::npos) << error;
    }
    EXPECT_TRUE(leftovers().empty());
    EXPECT_FALSE(m.framePrepared());
}

TEST_F(RaytraceTest, SphereHasItsProjectedRadiusInItsColourOnTheBackground) {
    LV_REQUIRE_POVRAY();
    model::Model m = ballModel();
    RaytraceResult result;
    std::string error;
    ASSERT_TRUE(raytraceModel(m, request("ball.png", 320, 240), result, error)) << error;
    EXPECT_EQ(leftovers(), std::vector<std::string>{"ball.png"}); // the temporary folder is gone
    EXPECT_EQ(result.warnings, "");
    const Picture p = readPng(scratch_.file("ball.png"));
    ASSERT_EQ(p.width, 320);
    ASSERT_EQ(p.height, 240);
    const std::array<int, 3> background{0, 0, 255};
    long count = 0;
    double sx = 0.0, sy = 0.0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const std::array<int, 3> c = p.at(x, y);
            if (c == background) continue;
            // Everything else is the lit red ball: no green or blue in it.
            ASSERT_TRUE(c[0] > 0 && c[1] == 0 && c[2] == 0) << x << "," << y;
            ++count, sx += x + 0.5, sy += y + 0.5;
        }
    // The camera looks at the centre from sqrt(300) away; the up vector spans the height.
    const double predicted = std::tan(std::asin(4.0 / std::sqrt(300.0))) * 240.0;
    EXPECT_NEAR(std::sqrt(count / M_PI), predicted, 2.0);
    EXPECT_NEAR(sx / count, 160.0, 1.0);
    EXPECT_NEAR(sy / count, 120.0, 1.0);
    EXPECT_EQ(p.at(0, 0), background);
    EXPECT_EQ(p.at(319, 239), background);
    EXPECT_GT(p.at(160, 120)[0], 60);
}

TEST_F(RaytraceTest, ABallCutByItsBoxShowsNoFalseGradientsAtTheFaces) {
    LV_REQUIRE_POVRAY();
    model::Model m = ballModel();
    model::ModelObject& ball = m.object(0);
    ball.customBox = 1;
    ball.ownBox = {-2.0f, -5.0f, -5.0f, 6.0f, 5.0f, 5.0f}; // inside at one face, outside at one
    ball.grid = {10, 12, 12};
    m.settings.cameraPosition = {-12.0f, 6.0f, 8.0f};
    RaytraceResult result;
    std::string error;
    ASSERT_TRUE(raytraceModel(m, request("cut.png", 160, 120), result, error)) << error;
    EXPECT_EQ(result.warnings, ""); // no "maximum gradient found ... may contain holes"
}

TEST_F(RaytraceTest, AGivenMaxGradientTooSmallBringsTheTracersWarning) {
    LV_REQUIRE_POVRAY();
    model::Model m = ballModel();
    m.object(0).autoMaxGradient = 0;
    m.object(0).maxGradient = 4.0f; // F = 16 - r^2 changes by about 9 per unit at the surface
    RaytraceResult result;
    std::string error;
    ASSERT_TRUE(raytraceModel(m, request("ball.png", 48, 36), result, error)) << error;
    EXPECT_NE(result.warnings.find("The isosurface may contain holes!"), std::string::npos)
        << result.warnings;
    m.object(0).maxGradient = 20.0f;
    ASSERT_TRUE(raytraceModel(m, request("ball.png", 48, 36), result, error)) << error;
    EXPECT_EQ(result.warnings, "");
}

TEST_F(RaytraceTest, DropletsAreTwoAtTheFirstRowAndOneAtTheLast) {
    LV_REQUIRE_POVRAY();
    FileSources sources;
    model::ModelFileContents contents;
    std::string error;
    ASSERT_TRUE(model::loadModelFile(LV_SOURCE_DIR "/examples/melting_droplets.lvm", sources,
                                     contents, error))
        << error;
    ASSERT_EQ(contents.timeRows.size(), 6u);
    // The drops' blue, not the white background nor the red pillow behind them.
    auto drop = [](const std::array<int, 3>& c) { return c[2] > c[0] + 20 && c[2] > c[1]; };
    int drops[2] = {0, 0};
    for (int last = 0; last < 2; ++last) {
        const model::TimeRow& row = contents.timeRows[last ? 5 : 0];
        RaytraceRequest r = request("drops.png", 320, 240);
        r.frameIndex = last ? 6 : 1;
        r.t1 = row.t1, r.t2 = row.t2, r.t3 = row.t3;
        r.threads = 2;
        RaytraceResult result;
        ASSERT_TRUE(raytraceModel(contents.model, r, result, error)) << error;
        drops[last] = regions(readPng(r.output), drop);
    }
    EXPECT_EQ(drops[0], 2);
    EXPECT_EQ(drops[1], 1);
}

TEST_F(RaytraceTest, AFailingSceneReportsTheRayTracersErrorAndWritesNothing) {
    LV_REQUIRE_POVRAY();
    model::Model m = ballModel();
    m.settings.cameraPosition = m.settings.lookAt; // the ray tracer refuses such a camera
    RaytraceResult result;
    std::string error;
    EXPECT_FALSE(raytraceModel(m, request("ball.png", 32, 24), result, error));
    EXPECT_NE(error.find("POV-Ray failed (exit status"), std::string::npos) << error;
    EXPECT_NE(error.find("Parse Error: Camera location and look_at"), std::string::npos)
        << error;
    EXPECT_TRUE(leftovers().empty());
    EXPECT_FALSE(m.framePrepared());
}

TEST_F(RaytraceTest, FailedSamplePointsAreCountedAndRefusedOnRequest) {
    LV_REQUIRE_POVRAY();
    // Division by zero on the plane x = 0, which a grid of 20 cells over -10..10 samples.
    model::Model m =
        ballModel("ball(x[3], a[1]) {\n  ball = a[1]^2 - x[2]^2 - x[3]^2 - x[1]^2 + 0 / x[1];\n}");
    m.object(0).grid = {20, 20, 20};
    RaytraceRequest r = request("ball.png", 32, 24);
    r.threads = 3;
    RaytraceResult result;
    std::string error;
    ASSERT_TRUE(raytraceModel(m, r, result, error)) << error;
    EXPECT_EQ(result.failures, 21 * 21);
    EXPECT_EQ(result.firstFailure.rfind("/src/ball.lv:2:", 0), 0u) << result.firstFailure;
    EXPECT_NE(result.firstFailure.find(": error: Division by zero"), std::string::npos);
    EXPECT_NE(result.warnings.find("441 sample points failed\n"), std::string::npos);
    fs::remove(r.output);
    r.refuseFailures = true;
    EXPECT_FALSE(raytraceModel(m, r, result, error));
    EXPECT_EQ(error, "441 sample points failed; no picture written");
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(RaytraceTest, KeptFolderHoldsASceneThatRendersAgain) {
    LV_REQUIRE_POVRAY();
    model::Model m = ballModel();
    auto flat = copyModelObject(m.object(0));
    flat->name = "flat";
    flat->customBox = 1;
    flat->ownBox = {-1.0f, -1.0f, 0.0f, 1.0f, 1.0f, 0.0f};
    m.appendObject(std::move(flat));
    RaytraceRequest r = request("ball.bmp", 40, 30);
    r.resolution = 6;
    r.keepDir = scratch_.file("kept");
    RaytraceResult result;
    std::string error;
    ASSERT_TRUE(raytraceModel(m, r, result, error)) << error;
    EXPECT_EQ(result.warnings, "object 'flat' left out: its box is empty\n");
    EXPECT_EQ(test::readBytes(r.output).at(0), 'B'); // a bitmap, as the name asks
    const std::string kept = r.keepDir + "/";
    EXPECT_EQ(result.kept, (std::vector<std::string>{kept + "object1.df3", kept + "scene.pov",
                                                     kept + "scene.ini", kept + "povray.log",
                                                     kept + "scene.bmp"}));
    EXPECT_FALSE(fs::exists(kept + "object2.df3"));
    // --resolution 6: 7 points along every axis, 16 bits each.
    EXPECT_EQ(fs::file_size(kept + "object1.df3"), 6u + 7 * 7 * 7 * 2);
    fs::remove(kept + "scene.bmp");
    std::string program = findPovray(error);
    ASSERT_TRUE(runPovray(program, r.keepDir, "scene.ini", "again.log", error)) << error;
    EXPECT_EQ(test::readBytes(kept + "scene.bmp"), test::readBytes(r.output));
}

TEST_F(RaytraceTest, AStopKillsTheRayTracersProcessGroupAtOnceAndWritesNothing) {
    test::ScratchDir bin;
    ScopedEnv povray(kPovrayVariable, sleepingRayTracer(bin).c_str());
    model::Model m = ballModel();
    m.object(0).grid = {6, 6, 6};
    RaytraceRequest r = request("ball.png", 32, 24);
    // The stop comes while the ray tracer (and its own child) runs.
    std::chrono::steady_clock::time_point stoppedAt;
    r.stopRequested = [&] {
        if (!fs::exists(bin.file("pids"))) return false;
        if (stoppedAt == std::chrono::steady_clock::time_point{})
            stoppedAt = std::chrono::steady_clock::now();
        return true;
    };
    RaytraceResult result;
    std::string error;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(raytraceModel(m, r, result, error));
    const auto ended = std::chrono::steady_clock::now();
    EXPECT_EQ(error, kRaytraceStopped);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.stoppedObject, ""); // stopped while tracing
    ASSERT_NE(stoppedAt, std::chrono::steady_clock::time_point{});
    EXPECT_LT(ended - stoppedAt, std::chrono::milliseconds(1000));
    EXPECT_LT(ended - started, std::chrono::seconds(10));
    pid_t script = 0, sleeper = 0;
    std::ifstream(bin.file("pids")) >> script >> sleeper;
    ASSERT_GT(script, 0);
    ASSERT_GT(sleeper, 0);
    EXPECT_TRUE(allEnd({script, sleeper})) << "the ray tracer's processes still run";
    EXPECT_TRUE(leftovers().empty()); // no picture, no temporary folder
    EXPECT_FALSE(m.framePrepared());

    // A stop before sampling names the object and never starts the ray tracer.
    fs::remove(bin.file("pids"));
    r.stopRequested = [] { return true; };
    EXPECT_FALSE(raytraceModel(m, r, result, error));
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.stoppedObject, "ball");
    EXPECT_FALSE(fs::exists(bin.file("pids")));
    EXPECT_TRUE(leftovers().empty());
}

} // namespace
} // namespace lv::exporter
