// lumovar raytrace: a ray-traced picture of one frame of a model, drawn by POV-Ray.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "app/command_guards.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "cli/diagnostics.h"
#include "cli/model_args.h"
#include "cli/object_flags.h"
#include "cli/outputs.h"
#include "cli/program.h"
#include "cli/signals.h"
#include "export/povray_runner.h"
#include "export/raytrace.h"
#include "model/grid_sampler.h"
#include "render/rgba_image.h"

namespace lv::cli {

namespace {

constexpr const char* kCommand = "raytrace";
constexpr int kMaxResolution = 1000;

const std::vector<FlagDef> kRaytraceFlags = {
    {"-o", true, "OUT.png|OUT.bmp: the picture to write (PNG or bitmap by its extension)"},
    {"--frame", true, "K: 0 = the time defaults (default), K >= 1 = row K of the time curve"},
    {"--size", true, "W,H: picture size in pixels (default: the model's ray-tracing image size)"},
    {"--resolution", true, "N: density cells per axis of every object (default: its grid)"},
    {"--keep", true, "DIR: leave the scene, its options and the density files in DIR"},
    {"--box", true, "XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX: FILE.lv OBJECT's box (default -10..10)"},
    {"--grid", true, "NX,NY,NZ: FILE.lv OBJECT's grid cells per axis, 1..1000 (default 25)"},
    {"--a", true, "V,...: FILE.lv OBJECT's a values (default 0)"},
    {"--lib", true, "LIB.lv: library whose objects FILE.lv may call"},
    {"--timeout", true, "S: give up after S seconds of sampling and tracing (exit 1)"},
    kNoPruneFlag,
};

int userError(const std::string& message) {
    std::fprintf(stderr, "lumovar %s: %s\n", kCommand, message.c_str());
    return kExitUserError;
}

int usageError(const std::string& message) { return commandUsageError(kCommand, message); }

// A whole number of at most 9 digits.
bool parseCount(const std::string& text, int& value) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    value = std::stoi(text);
    return true;
}

// Reads --frame, --size and --resolution into request.
int readOptions(const ParsedArgs& args, const model::ModelFileContents& contents,
                exporter::RaytraceRequest& request) {
    model::TimeRow row;
    if (int s = readFrameFlag(kCommand, args, contents, request.frameIndex, row); s != kExitOk)
        return s;
    if (request.frameIndex >= 1) request.t1 = row.t1, request.t2 = row.t2, request.t3 = row.t3;
    const model::ImageSize& own = contents.model.settings.rayImage;
    request.width = own.width, request.height = own.height;
    if (args.has("--size")) {
        std::vector<int> size;
        std::string error;
        if (!parseIntList(args.get("--size"), size, error) || size.size() != 2)
            return usageError("--size must be W,H");
        request.width = size[0], request.height = size[1];
    }
    if (!render::isPictureSize(request.width, request.height))
        return usageError("picture size " +
                          render::sizeOutsideText(request.width, request.height));
    if (args.has("--resolution") &&
        (!parseCount(args.get("--resolution"), request.resolution) || request.resolution < 1 ||
         request.resolution > kMaxResolution))
        return usageError("--resolution must be a whole number from 1 to " +
                          std::to_string(kMaxResolution));
    return kExitOk;
}

} // namespace

int runRaytrace(int argc, char** argv) {
    std::string error;
    auto args = parseArgs(argc, argv, 1, kRaytraceFlags, error);
    if (!args) return usageError(error);
    if (args->help) {
        printUsage("lumovar raytrace MODEL.lvm -o OUT.png [--frame K] [--size W,H] "
                   "[--resolution N] [--keep DIR] [--timeout S]\n"
                   "       lumovar raytrace FILE.lv OBJECT -o OUT.png [--a V,...] [--box ...] "
                   "[--grid ...] [--size W,H]\n"
                   "                [--resolution N] [--keep DIR] [--lib LIB.lv] [--timeout S]\n\n"
                   "Ray-traces one frame with POV-Ray (the Debian package povray): each object "
                   "is sampled\nover its box into a density volume that POV-Ray draws as an "
                   "isosurface. The environment\nvariable LUMOVAR_POVRAY names another POV-Ray "
                   "program.",
                   kRaytraceFlags);
        return kExitOk;
    }
    if (!args->has("-o")) return usageError("-o OUT.png is required");
    double timeout = 0.0; // 0: none
    if (args->has("--timeout") && !parseTimeout(args->get("--timeout"), timeout, error))
        return usageError(error);
    const bool oneObject = args->positionals.size() == 2;
    if (!oneObject)
        if (int s = refuseObjectFlags(kCommand, *args); s != kExitOk) return s;
    model::ModelFileContents contents;
    if (int s = loadModelArgs(kCommand, args->positionals, args->get("--lib"), contents);
        s != kExitOk)
        return s;
    if (oneObject)
        if (int s = applyObjectFlags(kCommand, *args, contents.model.object(0), false);
            s != kExitOk)
            return s;
    exporter::RaytraceRequest request;
    if (int s = readOptions(*args, contents, request); s != kExitOk) return s;
    if (auto refusal = app::renderGuard(app::modelGuardState(contents.model, 0)))
        return userError(refusal->text);
    request.output = args->get("-o");
    if (int s = checkOutputPath(kCommand, "-o", request.output, {".png", ".bmp"},
                                inputsOf(*args, contents.model));
        s != kExitOk)
        return s;
    request.refuseFailures = true; // as render: a failed sample point draws no picture
    request.keepDir = args->get("--keep");
    request.threads = model::samplingThreads();
    request.prune = !args->has("--no-prune");
    request.describeFailure = [](const model::ModelObject& o, const lang::RuntimeError& e) {
        return runtimeDiagnostic(o.sourcePath, e);
    };
    // The timer raises the evaluation stop: sampling fails at once, and the ray tracer's
    // process group is killed within milliseconds.
    request.stopRequested = [] { return timedOut(); };
    if (timeout > 0) armTimeout(timeout);
    exporter::RaytraceResult result;
    bool done = exporter::raytraceModel(contents.model, request, result, error);
    if (result.stopped) {
        if (!result.stoppedObject.empty())
            return reportTimeout(kCommand, result.stoppedObject, timeout);
        std::fprintf(stderr, "lumovar %s: POV-Ray did not finish within %g s (--timeout)\n",
                     kCommand, timeout);
        return kExitUserError;
    }
    if (!result.warnings.empty()) std::fprintf(stderr, "%s", result.warnings.c_str());
    if (!done && result.failures > 0) std::fprintf(stderr, "%s\n", result.firstFailure.c_str());
    if (!done) return userError(error);
    std::printf("wrote %s (%dx%d)\n", request.output.c_str(), result.width, result.height);
    for (const std::string& kept : result.kept) std::printf("kept %s\n", kept.c_str());
    return kExitOk;
}

} // namespace lv::cli
