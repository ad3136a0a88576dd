// One frame of each example model at 320 x 240, split into polygonization (prepare the frame,
// build the scene's meshes) and drawing (the headless OpenGL draw and read-back).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/model_loading.h"
#include "render/frame_window.h"
#include "render/gl_context.h"
#include "render/scene.h"

namespace {

namespace fs = std::filesystem;

fs::path examplesDir() { return fs::path(LV_SOURCE_DIR) / "examples"; }

std::unique_ptr<lv::model::ModelFileContents> loadExample(const fs::path& path,
                                                          benchmark::State& state) {
    auto contents = std::make_unique<lv::model::ModelFileContents>();
    lv::app::SourceCache cache;
    const lv::app::LoadOutcome loaded = lv::app::openModelFile(path.string(), cache, *contents);
    if (!loaded.ok()) {
        state.SkipWithError(loaded.readError.c_str());
        return nullptr;
    }
    return contents;
}

void polygonize(lv::model::Model& model, lv::render::SceneView& scene) {
    model.prepareFrame(0, 0.0f, 0.0f, 0.0f);
    scene.create(model);
    scene.build(model, {});
    model.releaseFrame();
}

void BM_Polygonize(benchmark::State& state, fs::path path) {
    auto contents = loadExample(path, state);
    if (!contents) return;
    std::size_t polygons = 0;
    for (auto _ : state) {
        lv::render::SceneView scene;
        polygonize(contents->model, scene);
        polygons = 0;
        for (const auto& mesh : scene.meshes()) polygons += mesh.polygonSizes.size();
    }
    state.counters["polygons"] = static_cast<double>(polygons);
}

void BM_Draw(benchmark::State& state, fs::path path) {
    auto contents = loadExample(path, state);
    if (!contents) return;
    std::string error;
    if (!lv::render::headlessGlAvailable(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    lv::render::SceneView scene;
    polygonize(contents->model, scene);
    lv::render::RgbaImage image;
    lv::render::renderSceneOffscreen(scene, 320, 240, image, error); // compiles the shaders
    for (auto _ : state) {
        if (!lv::render::renderSceneOffscreen(scene, 320, 240, image, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
}

int registerExamples() {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(examplesDir(), ec)) {
        if (entry.path().extension() != ".lvm") continue;
        std::string name = entry.path().stem().string();
        benchmark::RegisterBenchmark(("Polygonize/" + name).c_str(), BM_Polygonize, entry.path())
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Draw320x240/" + name).c_str(), BM_Draw, entry.path())
            ->Unit(benchmark::kMillisecond);
    }
    return 0;
}

const int kRegistered = registerExamples();

} // namespace

BENCHMARK_MAIN();
