// lumovar scene: the ray-tracing scene text of a model file or of a one-object model.
#include <cstdio>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/model_args.h"

namespace lv::cli {

namespace {

const std::vector<FlagDef> kSceneFlags = {
    {"--frame", true, "K: 0 = the time defaults (default), K >= 1 = row K of the time curve"},
    {"--lib", true, "LIB.lv: library whose objects FILE.lv may call"},
};

int usageError(const std::string& message) { return commandUsageError("scene", message); }

// Prints the scene text of frame (0: time defaults; else row's time values) of contents' model.
int printScene(model::ModelFileContents& contents, int frame, const model::TimeRow& row) {
    if (contents.model.prepareFrame(frame, row.t1, row.t2, row.t3) == 0) {
        std::fprintf(stderr, "lumovar scene: out of memory\n");
        return kExitUserError;
    }
    const std::string& text = contents.model.sceneText();
    std::fwrite(text.data(), 1, text.size(), stdout);
    contents.model.releaseFrame();
    return kExitOk;
}

} // namespace

int runScene(int argc, char** argv) {
    std::string error;
    auto args = parseArgs(argc, argv, 1, kSceneFlags, error);
    if (!args) return usageError(error);
    if (args->help) {
        printUsage("lumovar scene MODEL.lvm [--frame K]\n"
                   "       lumovar scene FILE.lv OBJECT [--lib LIB.lv] [--frame 0]\n\n"
                   "Prints the ray-tracing scene text of one frame of a model file, or of a "
                   "model\nholding OBJECT alone with the defaults of a new object.",
                   kSceneFlags);
        return kExitOk;
    }
    model::ModelFileContents contents;
    int status = loadModelArgs("scene", args->positionals, args->get("--lib"), contents);
    if (status != kExitOk) return status;
    int frame = 0;
    model::TimeRow row;
    if ((status = readFrameFlag("scene", *args, contents, frame, row)) != kExitOk) return status;
    return printScene(contents, frame, row);
}

} // namespace lv::cli
