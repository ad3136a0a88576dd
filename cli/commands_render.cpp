// lumovar render and lumovar animate: pictures and films of a model, drawn headless.
#include <cstdio>
#include <numeric>
#include <tuple>
#include <utility>

#include "app/command_guards.h"
#include "cli/args.h"
#include "cli/diagnostics.h"
#include "cli/commands.h"
#include "cli/model_args.h"
#include "cli/object_flags.h"
#include "cli/outputs.h"
#include "cli/progress.h"
#include "cli/signals.h"
#include "cli/program.h"
#include "export/image_files.h"
#include "export/output_paths.h"
#include "model/grid_sampler.h"
#include "render/avi_file.h"
#include "render/film_convert.h"
#include "render/gl_context.h"
#include "render/headless_frame.h"

namespace lv::cli {

namespace {

const std::vector<std::string> kPictureExtensions = {".bmp", ".png"};
const std::vector<std::string> kFilmExtensions = {".avi"};
const std::vector<std::string> kMp4Extensions = {".mp4"};
const std::vector<std::string> kGifExtensions = {".gif"};

const std::vector<FlagDef> kRenderFlags = {
    {"-o", true, "OUT.bmp|OUT.png: the picture to write"},
    {"--size", true, "W,H: picture size in pixels (default: the model's image size)"},
    {"--fit", false, "place the camera to frame the object (default for FILE.lv OBJECT)"},
    {"--no-fit", false, "keep the model's camera (default for MODEL.lvm)"},
    {"--box", true, "XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX: box to polygonize (default -10..10)"},
    {"--grid", true, "NX,NY,NZ: grid cells per axis, 1..1000 (default 25,25,25)"},
    {"--a", true, "V,...: the object's a values (default 0)"},
    {"--lib", true, "LIB.lv: library whose objects FILE.lv may call"},
    {"--timeout", true, "S: give up after S seconds of evaluation (exit 1)"},
    kThreadsFlag,
    kNoPruneFlag,
};

const std::vector<FlagDef> kAnimateFlags = {
    {"-o", true, "FILM.avi: the film to write"},
    {"--frames", true, "BASE.bmp|BASE.png: also write frame k as BASEk.bmp (see below)"},
    {"--size", true, "W,H: picture size in pixels (default: the model's image size)"},
    {"--fit", false, "place the camera to frame the object in every frame (default for "
                     "FILE.lv OBJECT)"},
    {"--no-fit", false, "keep the model's camera (default for MODEL.lvm)"},
    {"--box", true, "XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX: box to polygonize (default -10..10)"},
    {"--grid", true, "NX,NY,NZ: grid cells per axis, 1..1000 (default 25,25,25)"},
    {"--a", true, "V|T1|T2|T3,...: the object's a values or the time variables they follow"},
    {"--rows", true, "T1[,T2[,T3]];...: the time curve of FILE.lv OBJECT, one row a frame"},
    {"--mp4", true, "FILM.mp4: also write the film as H.264 MP4 (needs ffmpeg)"},
    {"--gif", true, "FILM.gif: also write the film as an animated GIF (needs ffmpeg)"},
    {"--lib", true, "LIB.lv: library whose objects FILE.lv may call"},
    {"--timeout", true, "S: give up after S seconds of evaluation (exit 1)"},
    kThreadsFlag,
    kNoPruneFlag,
};

using render::FrameBounds;
using render::FrameOutcome;
using render::fitCamera;
using render::tightenBox;

// One frame drawn headless, its first failure worded at the failing code's own file.
FrameOutcome renderFrame(model::Model& m, int frameIndex, double t1, double t2, double t3,
                         bool draw, FrameBounds* bounds,
                         const std::function<void(int done, int total)>& sliceDone) {
    return render::renderFrame(m, frameIndex, t1, t2, t3, draw, bounds, sliceDone,
                               [](const model::ModelObject& o, const lang::RuntimeError& e) {
                                   return runtimeDiagnostic(o.sourcePath, e);
                               });
}

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
    if (!render::isPictureSize(s.width, s.height))
        return commandUsageError(command,
                                 "picture size " + render::sizeOutsideText(s.width, s.height));
    return kExitOk;
}

int requireGl(const char* command) {
    std::string error;
    if (render::headlessGlAvailable(error)) return kExitOk;
    return userError(command, error);
}

// The common start of both commands: the model with the object flags and picture size
// applied (film: --a may name time variables), the camera choice, and --timeout parsed.
// Returns an exit status.
struct Prepared {
    model::ModelFileContents contents;
    bool fit = false;
    bool tighten = false; // FILE.lv OBJECT framed without --box: the box shrinks to the object
    std::string emptyHint; // added to "nothing to draw" when the object's a values were not given
    double timeout = 0.0; // 0: none
};

int prepare(const char* command, const ParsedArgs& args, bool film, Prepared& p) {
    const bool oneObject = args.positionals.size() == 2;
    if (args.has("--fit") && args.has("--no-fit"))
        return commandUsageError(command, "give at most one of --fit and --no-fit");
    p.fit = args.has("--fit") || (oneObject && !args.has("--no-fit"));
    p.tighten = p.fit && oneObject && !args.has("--box");
    std::string error;
    if (args.has("--timeout") && !parseTimeout(args.get("--timeout"), p.timeout, error))
        return commandUsageError(command, error);
    if (!oneObject) {
        if (int s = refuseObjectFlags(command, args); s != kExitOk) return s;
        if (args.has("--rows")) return commandUsageError(command, "--rows applies to FILE.lv "
                                                                  "OBJECT");
    }
    if (int s = loadModelArgs(command, args.positionals, args.get("--lib"), p.contents);
        s != kExitOk)
        return s;
    model::Model& m = p.contents.model;
    if (oneObject) {
        if (int s = applyObjectFlags(command, args, m.object(0), film); s != kExitOk)
            return s;
        if (!args.has("--a") && m.object(0).aBindings.count() > 0)
            p.emptyHint = " (the a values of '" + m.object(0).name + "' are all 0: give them "
                          "with --a)";
    }
    return applySize(command, args, m);
}

// Reports the failures of a frame that has any; returns whether it reported.
bool reportFailures(const char* command, const FrameOutcome& frame, const std::string& what) {
    if (frame.failures == 0) return false;
    std::fprintf(stderr, "%s\nlumovar %s: %lld sample points failed; %s\n",
                 frame.firstError.c_str(), command, frame.failures, what.c_str());
    return true;
}

int renderSingle(Prepared& p, const std::string& out) {
    model::Model& m = p.contents.model;
    ProgressLine progress;
    if (p.fit) {
        FrameBounds bounds;
        renderFrame(m, 0, 0, 0, 0, false, &bounds, percentCaption(progress, "Framing: "));
        if (p.tighten) {
            tightenBox(m.object(0), m.settings, bounds);
            bounds = {};
            renderFrame(m, 0, 0, 0, 0, false, &bounds, percentCaption(progress, "Framing: "));
        }
        fitCamera(m.settings, bounds);
    }
    FrameOutcome frame = renderFrame(m, 0, 0, 0, 0, true, nullptr, percentCaption(progress, ""));
    progress.finish();
    if (timedOut()) return reportTimeout("render", frame.failedObject, p.timeout);
    if (reportFailures("render", frame, "no picture written")) return kExitUserError;
    if (frame.polygons == 0)
        return userError("render", "nothing to draw: no object has a surface inside its box" +
                                       p.emptyHint + "; no picture written");
    if (!frame.image) return userError("render", frame.drawError);
    exporter::StagedOutputs staged;
    std::string error;
    if (!exporter::saveImage(staged.stage(out), frame.image, error) || !staged.commit(error)) {
        std::fprintf(stderr, "lumovar render: %s\n", error.c_str());
        return kExitUnwritable;
    }
    std::printf("wrote %s (%dx%d, %lld polygons)\n", out.c_str(), m.settings.polyImage.width,
                m.settings.polyImage.height, frame.polygons);
    return kExitOk;
}

// "2/3 s" for how long each frame of a film shows.
std::string frameDuration() {
    long long num = static_cast<long long>(render::kSamplesPerFrame) * render::kFilmScale;
    long long den = render::kFilmRate;
    long long g = std::gcd(num, den);
    num /= g, den /= g;
    return den == 1 ? std::to_string(num) + " s" : std::to_string(num) + "/" +
                                                       std::to_string(den) + " s";
}

// The film and frame files of an animation, all staged until every one is written.
struct FilmOutputs {
    std::string film;
    std::string seriesBase, seriesExtension; // empty base: no frame files
    std::vector<std::string> frameNames;
    std::string mp4, gif; // empty: not asked for
};

int animate(Prepared& p, const FilmOutputs& outputs) {
    model::Model& m = p.contents.model;
    const std::vector<model::TimeRow>& rows = p.contents.timeRows;
    const int count = static_cast<int>(rows.size());
    ProgressLine progress;
    auto prefix = [count](int k) {
        return "Frame " + std::to_string(k) + " of " + std::to_string(count) + ": ";
    };
    if (p.fit) {
        FrameBounds bounds;
        for (int k = 1; k <= count && !timedOut(); ++k) {
            const model::TimeRow& r = rows[static_cast<std::size_t>(k - 1)];
            renderFrame(m, k, r.t1, r.t2, r.t3, false, &bounds,
                        percentCaption(progress, "Framing " + prefix(k)));
        }
        if (p.tighten) tightenBox(m.object(0), m.settings, bounds);
        fitCamera(m.settings, bounds);
    }
    // Each frame is drawn when the film writer asks for it, written to its frame file, handed
    // to the film and dropped: memory does not grow with the number of rows.
    exporter::StagedOutputs staged;
    std::string filmStage = staged.stage(outputs.film);
    int next = 1;
    int status = kExitOk;
    std::string error;
    render::FrameSource source = [&]() -> std::optional<exporter::PackedDib> {
        if (next > count || status != kExitOk) return std::nullopt;
        const int k = next++;
        const model::TimeRow& r = rows[static_cast<std::size_t>(k - 1)];
        FrameOutcome frame = renderFrame(m, k, r.t1, r.t2, r.t3, true, nullptr,
                                         percentCaption(progress, prefix(k)));
        std::string what = "frame " + std::to_string(k) + " of " + std::to_string(count);
        if (timedOut()) {
            status = reportTimeout("animate", frame.failedObject, p.timeout);
        } else if (reportFailures("animate", frame, "in " + what + "; no film written")) {
            status = kExitUserError;
        } else if (frame.polygons == 0) {
            status = userError("animate", "nothing to draw in " + what + ": no object has a "
                                          "surface inside its box" + p.emptyHint +
                                          "; no film written");
        } else if (!frame.image) {
            status = userError("animate", what + ": " + frame.drawError);
        } else if (!outputs.seriesBase.empty() &&
                   !exporter::saveImage(staged.stage(outputs.frameNames[k - 1]), frame.image,
                                        error)) {
            status = kExitUnwritable;
        }
        if (status != kExitOk) return std::nullopt;
        return std::move(frame.image);
    };
    bool written = render::writeAviFile(filmStage, source, error);
    progress.finish();
    if (status == kExitUnwritable || (status == kExitOk && !written)) {
        std::fprintf(stderr, "lumovar animate: %s\n", error.c_str());
        return kExitUnwritable;
    }
    if (status != kExitOk) return status;
    if (!staged.commit(error)) {
        std::fprintf(stderr, "lumovar animate: %s\n", error.c_str());
        return kExitUnwritable;
    }
    const model::ImageSize& size = m.settings.polyImage;
    std::printf("wrote %s (%d frames, %dx%d, %s each)\n", outputs.film.c_str(), count,
                size.width, size.height, frameDuration().c_str());
    for (const std::string& name : outputs.frameNames) std::printf("wrote %s\n", name.c_str());
    for (const auto& [name, format] : {std::pair{outputs.mp4, render::FilmFormat::Mp4},
                                       std::pair{outputs.gif, render::FilmFormat::Gif}}) {
        if (name.empty()) continue;
        if (!render::convertFilm(outputs.film, name, format, error)) {
            std::fprintf(stderr, "lumovar animate: %s\n", error.c_str());
            return kExitUnwritable;
        }
        std::printf("wrote %s\n", name.c_str());
    }
    return kExitOk;
}

// Parses --rows "T1[,T2[,T3]];..." into time-curve rows.
int parseRows(const std::string& text, std::vector<model::TimeRow>& rows) {
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(';', start);
        std::string piece = text.substr(start, end == std::string::npos ? end : end - start);
        std::vector<float> v;
        std::string error;
        if (!parseFloatList(piece, v, error) || v.empty() || v.size() > 3)
            return commandUsageError("animate", "--rows needs rows of 1 to 3 numbers (T1,T2,"
                                                "T3) split by ';', got '" + piece + "'");
        v.resize(3, 0.0f);
        rows.push_back({v[0], v[1], v[2]});
        if (end == std::string::npos) return kExitOk;
        start = end + 1;
    }
}

} // namespace

int runRender(int argc, char** argv) {
    std::string error;
    auto args = parseArgs(argc, argv, 1, kRenderFlags, error);
    if (!args) return commandUsageError("render", error);
    if (args->help) {
        printUsage("lumovar render MODEL.lvm -o OUT.bmp|OUT.png [--size W,H] [--fit]\n"
                   "       lumovar render FILE.lv OBJECT -o OUT.bmp|OUT.png [--size W,H] "
                   "[--box ...]\n"
                   "                     [--grid NX,NY,NZ] [--a V,...] [--no-fit] "
                   "[--lib LIB.lv]\n\n"
                   "Renders the single frame (at the time defaults) of a model file, or of a "
                   "model\nholding OBJECT alone with the defaults of a new object, without a "
                   "display.\nWith --fit the camera keeps the model's viewing direction and "
                   "moves so that the\npolygonized objects fill the picture; for FILE.lv OBJECT "
                   "without --box the box\nalso shrinks to the object, so the grid resolves it "
                   "finer. A sample point "
                   "whose evaluation fails, or\na picture with nothing in it, is an error: "
                   "nothing is written and the exit\nstatus is 1.",
                   kRenderFlags);
        return kExitOk;
    }
    if (!applyThreads("render", *args)) return kExitUsage;
    if (args->has("--no-prune")) model::setSamplingPrunes(false);
    if (!args->has("-o")) return commandUsageError("render", "-o OUT.bmp|OUT.png is required");
    const std::string out = args->get("-o");
    if (int s = checkOutputPath("render", "-o", out, kPictureExtensions, args->positionals);
        s != kExitOk)
        return s;
    Prepared p;
    if (int s = prepare("render", *args, false, p); s != kExitOk) return s;
    model::Model& m = p.contents.model;
    if (auto refusal = app::renderGuard(app::modelGuardState(m, 0)))
        return userError("render", refusal->text);
    if (int s = checkOutputPath("render", "-o", out, kPictureExtensions, inputsOf(*args, m));
        s != kExitOk)
        return s;
    if (int s = requireGl("render"); s != kExitOk) return s;
    if (p.timeout > 0) armTimeout(p.timeout);
    return renderSingle(p, out);
}

int runAnimate(int argc, char** argv) {
    std::string error;
    auto args = parseArgs(argc, argv, 1, kAnimateFlags, error);
    if (!args) return commandUsageError("animate", error);
    if (args->help) {
        printUsage("lumovar animate MODEL.lvm -o FILM.avi [--frames BASE.bmp] [--size W,H] "
                   "[--fit]\n"
                   "                      [--mp4 FILM.mp4] [--gif FILM.gif]\n"
                   "       lumovar animate FILE.lv OBJECT -o FILM.avi --a V|T1,... "
                   "--rows T1;T1;...\n"
                   "                      [--frames BASE.bmp] [--size W,H] [--box ...] "
                   "[--grid ...] [--no-fit]\n\n"
                   "Renders one frame per row of the time curve without a display and "
                   "compiles them\ninto an uncompressed AVI film that shows each frame for "
                   "2/3 s. --frames also\nwrites frame k as BASEk.bmp (or .png), k padded "
                   "with zeros to the digits of\nthe number of rows: BASE1..BASE9 for 9 rows, "
                   "BASE01..BASE12 for 12. The film and\nthe frame files appear together "
                   "only when every frame was drawn; otherwise\nnone is written or replaced. "
                   "--mp4 and --gif convert the film with ffmpeg when it\nis installed.",
                   kAnimateFlags);
        return kExitOk;
    }
    if (!applyThreads("animate", *args)) return kExitUsage;
    if (args->has("--no-prune")) model::setSamplingPrunes(false);
    if (!args->has("-o")) return commandUsageError("animate", "-o FILM.avi is required");
    FilmOutputs outputs;
    outputs.film = args->get("-o");
    if (int s = checkOutputPath("animate", "-o", outputs.film, kFilmExtensions,
                                args->positionals);
        s != kExitOk)
        return s;
    if (args->has("--frames") &&
        checkOutputPath("animate", "--frames", args->get("--frames"), kPictureExtensions,
                        args->positionals) != kExitOk)
        return kExitUsage;
    Prepared p;
    if (int s = prepare("animate", *args, true, p); s != kExitOk) return s;
    if (args->has("--rows")) {
        p.contents.timeRows.clear();
        if (int s = parseRows(args->get("--rows"), p.contents.timeRows); s != kExitOk) return s;
    }
    model::Model& m = p.contents.model;
    const bool oneObject = args->positionals.size() == 2;
    const int rows = static_cast<int>(p.contents.timeRows.size());
    if (auto refusal = app::animationGuard(app::modelGuardState(m, rows))) {
        // FILE.lv OBJECT: say which flag gives what is missing.
        const char* hint = "";
        if (oneObject && refusal->message == app::AppMessage::NoTimeParameters)
            hint = "\n(bind a values to T1, T2 or T3 with --a, for example --a T1)";
        if (oneObject && refusal->message == app::AppMessage::NoTimeCurve)
            hint = "\n(give the rows with --rows, for example --rows \"1;2;3\")";
        return userError("animate", refusal->text + std::string(hint));
    }
    std::vector<std::string> inputs = inputsOf(*args, m);
    if (int s = checkOutputPath("animate", "-o", outputs.film, kFilmExtensions, inputs);
        s != kExitOk)
        return s;
    if (args->has("--frames")) {
        const std::string series = args->get("--frames");
        std::string extension = exporter::lowerExtension(series);
        outputs.seriesBase = series.substr(0, series.size() - extension.size());
        outputs.seriesExtension = series.substr(series.size() - extension.size() + 1);
        int count = static_cast<int>(p.contents.timeRows.size());
        inputs.push_back(outputs.film);
        for (int k = 1; k <= count; ++k) {
            outputs.frameNames.push_back(exporter::frameSeriesName(
                outputs.seriesBase, k, count, outputs.seriesExtension));
            if (int s = checkOutputPath("animate", "--frames", outputs.frameNames.back(),
                                        kPictureExtensions, inputs);
                s != kExitOk)
                return s;
        }
    }
    inputs.push_back(outputs.film);
    for (const auto& [flag, extensions, name] :
         {std::tuple{"--mp4", &kMp4Extensions, &outputs.mp4},
          std::tuple{"--gif", &kGifExtensions, &outputs.gif}}) {
        if (!args->has(flag)) continue;
        *name = args->get(flag);
        if (int s = checkOutputPath("animate", flag, *name, *extensions, inputs); s != kExitOk)
            return s;
        // Said before any frame is drawn: the conversion would fail at the end.
        if (render::findFfmpeg().empty()) {
            std::fprintf(stderr, "lumovar animate: %s: %s\n", flag, render::kFfmpegMissing);
            return kExitUsage;
        }
        inputs.push_back(*name);
    }
    if (int s = requireGl("animate"); s != kExitOk) return s;
    if (p.timeout > 0) armTimeout(p.timeout);
    return animate(p, outputs);
}

} // namespace lv::cli
