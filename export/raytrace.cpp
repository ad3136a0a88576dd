#include "export/raytrace.h"

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>

#include "export/density_grid.h"
#include "export/image_files.h"
#include "export/povray_runner.h"
#include "export/raytrace_scene.h"
#include "export/replacing_file.h"
#include "export/temp_registry.h"
#include "model/grid_sampler.h"

namespace lv::exporter {

namespace fs = std::filesystem;

namespace {

// The folder the ray tracer works in: the kept folder, or a temporary one removed afterwards
// and, with every file it holds, on a terminating signal.
class WorkFolder {
public:
    WorkFolder() = default;
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    ~WorkFolder() {
        if (!temporary_) return;
        std::error_code ec;
        fs::remove_all(path_, ec);
        for (int handle : registrations_) forgetTemporary(handle);
    }

    bool open(const std::string& keepDir, std::string& error) {
        if (!keepDir.empty()) {
            std::error_code ec;
            fs::create_directories(keepDir, ec);
            if (ec || !fs::is_directory(keepDir)) {
                error = "cannot make the folder '" + keepDir + "': " +
                        (ec ? ec.message() : std::string("not a folder"));
                return false;
            }
            path_ = keepDir;
            return true;
        }
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                              "/lumovar-raytrace-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            error = "cannot make a temporary folder: " + std::string(std::strerror(errno));
            return false;
        }
        path_ = pattern;
        temporary_ = true;
        registrations_.push_back(registerTemporary(path_));
        return true;
    }

    // Records name, a file about to be made in a temporary folder, for removal on a signal.
    void track(const std::string& name) {
        if (temporary_) registrations_.push_back(registerTemporary(file(name)));
    }

    std::string file(const std::string& name) const { return (fs::path(path_) / name).string(); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool temporary_ = false;
    std::vector<int> registrations_;
};

// Releases a prepared frame on every path.
struct FrameGuard {
    model::Model& model;
    ~FrameGuard() { model.releaseFrame(); }
};

bool writeText(const std::string& path, const std::string& text, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) error = "cannot write '" + path + "'";
    return static_cast<bool>(out);
}

// Copies the ray tracer's picture to output through a temporary file beside it.
bool deliver(const std::string& picture, const std::string& output, std::string& error) {
    std::ifstream in(picture, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) bytes.clear();
    if (bytes.empty()) {
        error = "POV-Ray wrote no picture";
        return false;
    }
    ReplacingFile file;
    return file.open(output, error) && file.write(bytes.data(), bytes.size(), error) &&
           file.commit(error);
}

SampleGrid gridOf(const model::ModelObject& object, const model::ModelSettings& settings,
                  int resolution) {
    const model::BoundingBox& box = model::effectiveBox(object, settings);
    SampleGrid grid;
    grid.xmin = box.xmin, grid.ymin = box.ymin, grid.zmin = box.zmin;
    grid.xmax = box.xmax, grid.ymax = box.ymax, grid.zmax = box.zmax;
    grid.nx = resolution > 0 ? resolution : object.grid[0];
    grid.ny = resolution > 0 ? resolution : object.grid[1];
    grid.nz = resolution > 0 ? resolution : object.grid[2];
    return grid;
}

// "FILE:LINE:COLUMN: error: MESSAGE" of a failure in object o's code or in an object it calls.
std::string failureText(const model::ModelObject& o, const lang::RuntimeError& e) {
    std::string text = o.sourcePath + ":" + std::to_string(e.line) + ":" +
                       std::to_string(e.column) + ": error: " + e.message;
    if (e.object != nullptr && e.object != o.compiled.get())
        text += " (in object '" + e.object->name + "', called by '" + o.name + "')";
    return text;
}

// Samples object i of the prepared frame in batches over request.threads threads, and writes
// its density; fills ray and counts the failed sample points in result.
bool densityOf(model::Model& model, int i, const RaytraceRequest& request, WorkFolder& folder,
               RayObject& ray, RaytraceResult& result, std::string& error) {
    const model::ModelObject& object = model.object(i);
    model::EvalSlot& slot = model.slots()[static_cast<std::size_t>(i)];
    model::GridSampler sampler(slot, std::max(1, request.threads));
    std::vector<float> values = sampleObjectGrid(ray.grid, sampler, request.prune);
    if (slot.failures > 0 && result.failures == 0)
        result.firstFailure = request.describeFailure
                                  ? request.describeFailure(object, slot.firstError)
                                  : failureText(object, slot.firstError);
    result.failures += slot.failures;
    const double range = densityRange(values, ray.grid);
    std::vector<std::uint16_t> density = densityValues(values, range);
    values = {};
    // The density is 0.5 + F / (2 range) where the surface is, so F's gradient scales by that.
    // A given gradient that is not positive would stop the tracer finding any surface.
    ray.maxGradient = object.autoMaxGradient == 0 && object.maxGradient > 0.0f
                          ? object.maxGradient / (2.0 * range)
                          : densityMaxGradient(density, ray.grid) * 1.05 + 1e-6;
    ray.densityFile = rayDensityFile(i);
    folder.track(ray.densityFile);
    return writeDf3File(folder.file(ray.densityFile), ray.grid, density, error);
}

void report(const RaytraceRequest& request, const std::string& step) {
    if (request.progress) request.progress(step);
}

// Whether the request was stopped; if so, says so in result and error.
bool stopped(const RaytraceRequest& request, const std::string& object, RaytraceResult& result,
             std::string& error) {
    if (!request.stopRequested || !request.stopRequested()) return false;
    result.stopped = true;
    result.stoppedObject = object;
    error = kRaytraceStopped;
    return true;
}

} // namespace

std::string rayDensityFile(int i) { return "object" + std::to_string(i + 1) + ".df3"; }

bool raytraceModel(model::Model& model, const RaytraceRequest& request, RaytraceResult& result,
                   std::string& error) {
    result = {};
    result.width = request.width > 0 ? request.width : model.settings.rayImage.width;
    result.height = request.height > 0 ? request.height : model.settings.rayImage.height;
    if (result.width < 1 || result.height < 1) {
        error = "the picture size " + std::to_string(result.width) + "x" +
                std::to_string(result.height) + " is not positive";
        return false;
    }
    const std::string program = findPovray(error);
    if (program.empty()) return false;
    WorkFolder folder;
    if (!folder.open(request.keepDir, error)) return false;
    if (model.prepareFrame(request.frameIndex, request.t1, request.t2, request.t3) == 0) {
        error = "out of memory";
        return false;
    }
    FrameGuard guard{model};
    std::vector<RayObject> objects;
    for (int i = 0; i < model.count(); ++i) {
        const model::ModelObject& object = model.object(i);
        RayObject ray;
        ray.name = object.name;
        ray.grid = gridOf(object, model.settings, request.resolution);
        if (!ray.grid.usable()) {
            result.warnings += "object '" + object.name + "' left out: its box is empty\n";
            continue;
        }
        if (stopped(request, object.name, result, error)) return false;
        report(request, "Sampling " + object.name);
        try {
            if (!densityOf(model, i, request, folder, ray, result, error)) return false;
        } catch (const std::bad_alloc&) {
            error = "out of memory sampling object '" + object.name + "'";
            return false;
        }
        // A stop fails the remaining sample points: those failures are the stop's, not errors.
        if (stopped(request, object.name, result, error)) return false;
        ray.colour = object.rayColour;
        ray.accuracy = object.accuracy > 0.0f ? object.accuracy : 1e-6f;
        ray.transform = object.transform;
        objects.push_back(std::move(ray));
        result.kept.push_back(folder.file(objects.back().densityFile));
    }
    if (result.failures > 0) {
        const std::string counted = std::to_string(result.failures) + " sample points failed";
        if (request.refuseFailures) {
            error = counted + "; no picture written";
            return false;
        }
        result.warnings += result.firstFailure + "\n" + counted + "\n";
    }
    RayImageOptions options;
    options.sceneFile = kRaySceneFile;
    bool png = imageFormatFromPath(request.output) == ImageFormat::Png;
    options.format = png ? RayImageFormat::Png : RayImageFormat::Bitmap;
    options.outputFile = png ? "scene.png" : "scene.bmp";
    options.width = result.width;
    options.height = result.height;
    options.antialias = model.settings.antialiasingOn != 0;
    for (const std::string& name : {std::string(kRaySceneFile), std::string(kRayOptionsFile),
                                    std::string(kRayLogFile), options.outputFile})
        folder.track(name);
    if (!writeText(folder.file(kRaySceneFile),
                   rayScene(model.settings, result.width, result.height, objects), error) ||
        !writeText(folder.file(kRayOptionsFile), rayOptions(options), error))
        return false;
    if (stopped(request, "", result, error)) return false;
    report(request, "Tracing");
    std::error_code ec;
    fs::remove(folder.file(options.outputFile), ec); // never deliver an earlier run's picture
    if (!runPovray(program, folder.path(), kRayOptionsFile, kRayLogFile, error,
                   request.stopRequested)) {
        if (error == kPovrayStopped) stopped(request, "", result, error);
        return false;
    }
    if (stopped(request, "", result, error)) return false;
    std::ifstream log(folder.file(kRayLogFile), std::ios::binary);
    result.warnings += povrayWarningLines(
        {std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>()});
    if (!deliver(folder.file(options.outputFile), request.output, error)) return false;
    if (request.keepDir.empty()) {
        result.kept.clear();
    } else {
        for (const char* name : {kRaySceneFile, kRayOptionsFile, kRayLogFile})
            result.kept.push_back(folder.file(name));
        result.kept.push_back(folder.file(options.outputFile));
    }
    return true;
}

} // namespace lv::exporter
