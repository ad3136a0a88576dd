// lumovar render and lumovar animate: pictures and films of a model, drawn headless.
#include <unistd.h>

#include <cstdio>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/model_args.h"
#include "export/image_files.h"
#include "render/avi_file.h"
#include "render/gl_context.h"
#include "render/render_job.h"
#include "render/render_worker.h"
#include "render/time_curve.h"

namespace lv::cli {

namespace {

const std::vector<FlagSpec> kRenderFlags = {
    {"-o", true, "OUT.bmp|OUT.png: the picture to write"},
    {"--size", true, "W,H: picture size in pixels (default: the model's image size)"},
    {"--lib", true, "LIB.lv: library whose objects FILE.lv may call"},
};

const std::vector<FlagSpec> kAnimateFlags = {
    {"-o", true, "FILM.avi: the film to write"},
    {"--frames", true, "BASE.bmp|BASE.png: also write every frame as BASE01.bmp, BASE02.bmp..."},
    {"--size", true, "W,H: picture size in pixels (default: the model's image size)"},
};

// Refusals of the render commands, as the application words them.
constexpr const char* kNoObjects = "Model must contain at least one object to render";
constexpr const char* kNoTimeCurve = "Animation Time Curve must be defined";
constexpr const char* kNoTimeParameters =
    "Some objects in model must have some time dependent parameters";

int userError(const char* command, const std::string& message) {
    std::fprintf(stderr, "lumovar %s: %s\n", command, message.c_str());
    return kExitUserError;
}

// Applies --size, then checks the picture size the model will be drawn at.
int applySize(const char* command, const ParsedArgs& args, model::Model& m) {
    if (args.has("--size")) {
        std::vector<int> size;
        std::string error;
        if (!parseIntList(args.get("--size"), size, error) || size.size() != 2)
            return commandUsageError(command, "--size must be W,H");
        m.settings.polyImage = {size[0], size[1]};
    }
    const model::ImageSize& s = m.settings.polyImage;
    if (s.width < 1 || s.height < 1 || s.width > render::kMaxImageSide ||
        s.height > render::kMaxImageSide)
        return commandUsageError(command, "picture size " + std::to_string(s.width) + "x" +
                                       std::to_string(s.height) + " is outside 1.." +
                                       std::to_string(render::kMaxImageSide));
    return kExitOk;
}

int requireGl(const char* command) {
    std::string error;
    if (render::headlessGlAvailable(error)) return kExitOk;
    return userError(command, error);
}

// Shows captions on a terminal, overwriting one line; elsewhere shows nothing.
class ProgressLine {
public:
    ProgressLine() : terminal_(::isatty(STDERR_FILENO) == 1) {}
    ~ProgressLine() { finish(); }
    void show(const std::string& text) {
        if (!terminal_) return;
        std::fprintf(stderr, "\r%-40s", text.c_str());
        std::fflush(stderr);
        shown_ = true;
    }
    void finish() {
        if (shown_) std::fprintf(stderr, "\r%-40s\r", "");
        shown_ = false;
    }

private:
    bool terminal_;
    bool shown_ = false;
};

// The file name of a frame series split at the last "." of its last component.
void splitSeriesName(const std::string& name, std::string& base, std::string& extension) {
    std::size_t slash = name.find_last_of('/');
    std::size_t dot = name.find_last_of('.');
    bool hasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    base = hasDot ? name.substr(0, dot) : name;
    extension = hasDot ? name.substr(dot + 1) : "";
    if (extension.empty()) extension = "bmp";
}

int renderSingle(model::Model& m, const std::string& out) {
    render::RenderJob job(0, 0.0, 0.0, 0.0, true);
    if (!job.setModel(m)) return userError("render", "out of memory");
    job.createWindow();
    ProgressLine progress;
    job.setCaptionListener([&](const std::string& caption) { progress.show(caption); });
    render::RenderWorker worker;
    if (!worker.start([&] { job.render(); })) return userError("render", "cannot start");
    worker.wait();
    progress.finish();
    std::string error;
    if (!exporter::saveImage(out, job.captureImage(), error)) return userError("render", error);
    std::printf("wrote %s (%dx%d)\n", out.c_str(), m.settings.polyImage.width,
                m.settings.polyImage.height);
    return kExitOk;
}

// Renders every row of curve from its snapshot, all on the worker, showing the captions.
void renderAllFrames(render::TimeCurve& curve) {
    for (int k = 1; k <= curve.count(); ++k) curve.prepareJob(*curve.rowAt(k));
    ProgressLine progress;
    render::RenderWorker worker;
    worker.start([&] {
        for (int k = 1; k <= curve.count(); ++k) {
            render::RenderJob* job = curve.rowAt(k)->job.get();
            if (!job) continue;
            std::string prefix = "Frame " + std::to_string(k) + " of " +
                                 std::to_string(curve.count()) + ": ";
            job->setCaptionListener(
                [&progress, prefix](const std::string& c) { progress.show(prefix + c); });
            job->render();
            job->setCaptionListener({});
        }
    });
    worker.wait();
}

int writeSeries(render::TimeCurve& curve, const std::string& name) {
    std::string base, extension, error;
    splitSeriesName(name, base, extension);
    if (!exporter::saveFrameSeries(render::frameSeriesSource(curve), base, extension, error))
        return userError("animate", error);
    for (int k = 1; k <= curve.count(); ++k)
        if (render::rowIsUpToDate(*curve.rowAt(k)))
            std::printf("wrote %s\n",
                        exporter::frameSeriesName(base, k, curve.count(), extension).c_str());
    return kExitOk;
}

int animate(model::ModelFileContents& contents, const std::string& film,
            const std::string& series) {
    render::TimeCurve curve;
    for (const model::TimeRow& row : contents.timeRows) curve.appendRow(row.t1, row.t2, row.t3);
    if (!curve.resetFrames(contents.model)) return userError("animate", "out of memory");
    renderAllFrames(curve);
    // A film with a frame missing would be shorter than the curve: refuse rather than write it.
    for (int k = 1; k <= curve.count(); ++k)
        if (!render::rowIsUpToDate(*curve.rowAt(k)))
            return userError("animate", "frame " + std::to_string(k) + " of " +
                                            std::to_string(curve.count()) +
                                            " could not be rendered; no film written");
    std::string error;
    if (!render::writeAviFile(film, render::renderedFrames(curve), error))
        return userError("animate", error);
    int frames = curve.count();
    const model::ImageSize& size = contents.model.settings.polyImage;
    std::printf("wrote %s (%d frames, %dx%d, 15 samples per second, 10 samples per frame)\n",
                film.c_str(), frames, size.width, size.height);
    return series.empty() ? kExitOk : writeSeries(curve, series);
}

} // namespace

int runRender(int argc, char** argv) {
    std::string error;
    auto args = parseArgs(argc, argv, 1, kRenderFlags, error);
    if (!args) return commandUsageError("render", error);
    if (args->help) {
        printUsage("lumovar render MODEL.lvm -o OUT.bmp|OUT.png [--size W,H]\n"
                   "       lumovar render FILE.lv OBJECT -o OUT.bmp|OUT.png [--size W,H] "
                   "[--lib LIB.lv]\n\n"
                   "Renders the single frame (at the time defaults) of a model file, or of a "
                   "model\nholding OBJECT alone with the defaults of a new object, without a "
                   "display.",
                   kRenderFlags);
        return kExitOk;
    }
    if (!args->has("-o")) return commandUsageError("render", "-o OUT.bmp|OUT.png is required");
    model::ModelFileContents contents;
    if (int s = loadModelArgs("render", args->positionals, args->get("--lib"), contents);
        s != kExitOk)
        return s;
    if (contents.model.count() == 0) return userError("render", kNoObjects);
    if (int s = applySize("render", *args, contents.model); s != kExitOk) return s;
    if (int s = requireGl("render"); s != kExitOk) return s;
    return renderSingle(contents.model, args->get("-o"));
}

int runAnimate(int argc, char** argv) {
    std::string error;
    auto args = parseArgs(argc, argv, 1, kAnimateFlags, error);
    if (!args) return commandUsageError("animate", error);
    if (args->help) {
        printUsage("lumovar animate MODEL.lvm -o FILM.avi [--frames BASE.bmp] [--size W,H]\n\n"
                   "Renders one frame per row of the model's time curve without a display and "
                   "compiles\nthem into an uncompressed AVI film; --frames also writes each "
                   "frame as a picture.",
                   kAnimateFlags);
        return kExitOk;
    }
    if (!args->has("-o")) return commandUsageError("animate", "-o FILM.avi is required");
    if (args->positionals.size() != 1 || !isModelFilePath(args->positionals[0]))
        return commandUsageError("animate", "expected one MODEL.lvm");
    model::ModelFileContents contents;
    if (int s = loadModelArgs("animate", args->positionals, "", contents); s != kExitOk)
        return s;
    model::TimeUsage usage = contents.model.timeUsage();
    if (contents.model.count() == 0) return userError("animate", kNoObjects);
    if (!usage.t1 && !usage.t2 && !usage.t3) return userError("animate", kNoTimeParameters);
    if (contents.timeRows.empty()) return userError("animate", kNoTimeCurve);
    if (int s = applySize("animate", *args, contents.model); s != kExitOk) return s;
    if (int s = requireGl("animate"); s != kExitOk) return s;
    return animate(contents, args->get("-o"), args->get("--frames"));
}

} // namespace lv::cli
