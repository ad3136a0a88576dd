// lumovar scene: the ray-tracing scene text of a model file or of a one-object model.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/library.h"
#include "app/source_cache.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "lang/settings.h"
#include "model/model_file.h"

namespace lv::cli {

namespace {

const std::vector<FlagSpec> kSceneFlags = {
    {"--frame", true, "K: 0 = the time defaults (default), K >= 1 = row K of the time curve"},
    {"--lib", true, "LIB.lv: library whose objects FILE.lv may call"},
};

int usageError(const std::string& message) {
    std::fprintf(stderr, "lumovar scene: %s (see lumovar scene --help)\n", message.c_str());
    return kExitUsage;
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(),
                                                      tail) == 0;
}

bool readable(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && std::ifstream(path).good();
}

bool parseFrame(const std::string& text, int& frame) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return false;
    frame = std::stoi(text);
    return true;
}

// Prints the scene text of frame (0: time defaults) of contents' model.
int printScene(model::ModelFileContents& contents, int frame) {
    model::TimeRow row;
    if (frame >= 1) row = contents.timeRows[static_cast<std::size_t>(frame - 1)];
    if (contents.model.prepareFrame(frame, row.t1, row.t2, row.t3) == 0) {
        std::fprintf(stderr, "lumovar scene: out of memory\n");
        return kExitUserError;
    }
    const std::string& text = contents.model.sceneText();
    std::fwrite(text.data(), 1, text.size(), stdout);
    contents.model.releaseFrame();
    return kExitOk;
}

int loadModel(const std::string& path, app::SourceCache& cache,
              model::ModelFileContents& contents) {
    if (!readable(path)) {
        std::fprintf(stderr, "lumovar: cannot read %s\n", path.c_str());
        return kExitUsage;
    }
    std::string error;
    if (!model::loadModelFile(path, cache, contents, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return kExitUserError;
    }
    lang::setEps(contents.eps);
    lang::setAlpha(contents.alpha);
    return kExitOk;
}

// Prints a compiled file's first error as FILE:LINE:COLUMN: error: MESSAGE.
void printCompileError(const app::CompiledFile& file) {
    const lang::CompileError& e = *file.firstError;
    std::fprintf(stderr, "%s:%d:%d: error: %s\n", file.path.c_str(), e.line, e.column,
                 e.message);
}

int setLibrary(const std::string& libraryPath, app::SourceCache& cache) {
    if (libraryPath.empty()) return kExitOk;
    std::string error;
    if (!app::setLibraryFile(cache, libraryPath, error)) {
        std::fprintf(stderr, "lumovar: cannot read %s: %s\n", libraryPath.c_str(),
                     error.c_str());
        return kExitUsage;
    }
    if (cache.library()->hasError()) {
        printCompileError(*cache.library());
        return kExitUserError;
    }
    return kExitOk;
}

// A model of the one object named objectName of the file at path, with new-object defaults.
int oneObjectModel(const std::string& path, const std::string& objectName,
                   const std::string& libraryPath, model::ModelFileContents& contents) {
    app::SourceCache cache;
    if (int status = setLibrary(libraryPath, cache); status != kExitOk) return status;
    auto file = cache.lookup(path);
    if (!file) {
        std::fprintf(stderr, "lumovar: cannot read %s: %s\n", path.c_str(),
                     cache.readError().c_str());
        return kExitUsage;
    }
    if (file->hasError()) {
        printCompileError(*file);
        return kExitUserError;
    }
    std::string function = objectName;
    std::transform(function.begin(), function.end(), function.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto found = std::find_if(file->objects.begin(), file->objects.end(),
                              [&](const auto& o) { return o->name == function; });
    if (found == file->objects.end()) {
        std::fprintf(stderr, "lumovar: %s has no object named '%s'\n", path.c_str(),
                     objectName.c_str());
        return kExitUsage;
    }
    if ((*found)->xSize < 3) {
        std::fprintf(stderr, "lumovar: object '%s' has fewer than 3 x components\n",
                     function.c_str());
        return kExitUserError;
    }
    if (contents.model.addObject(cache, function, function, path) == nullptr) {
        std::fprintf(stderr, "lumovar: cannot add object '%s'\n", function.c_str());
        return kExitUserError;
    }
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
    int frame = 0;
    if (args->has("--frame") && !parseFrame(args->get("--frame"), frame))
        return usageError("--frame must be a whole number from 0");
    model::ModelFileContents contents;
    const auto& positionals = args->positionals;
    int status = kExitOk;
    if (positionals.size() == 1 && endsWith(positionals[0], ".lvm")) {
        if (args->has("--lib")) return usageError("--lib applies to FILE.lv OBJECT only");
        app::SourceCache cache;
        status = loadModel(positionals[0], cache, contents);
    } else if (positionals.size() == 2) {
        status = oneObjectModel(positionals[0], positionals[1], args->get("--lib"), contents);
    } else {
        return usageError("expected MODEL.lvm, or FILE.lv and OBJECT");
    }
    if (status != kExitOk) return status;
    if (frame > static_cast<int>(contents.timeRows.size()))
        return usageError("--frame " + std::to_string(frame) + " is beyond the " +
                          std::to_string(contents.timeRows.size()) + " rows of the time curve");
    return printScene(contents, frame);
}

} // namespace lv::cli
