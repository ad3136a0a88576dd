#include "cli/model_args.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/library.h"
#include "app/source_cache.h"
#include "cli/args.h"
#include "cli/diagnostics.h"
#include "lang/settings.h"

namespace lv::cli {

namespace {

bool readable(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && std::ifstream(path).good();
}

// text with control characters written as escapes (a NUL in a name would end the message).
std::string printable(const std::string& text) {
    std::string out;
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u == 0) {
            out += "\\0";
        } else if (u < 0x20 || u == 0x7f) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

int loadModel(const std::string& path, model::ModelFileContents& contents) {
    if (!readable(path)) {
        std::fprintf(stderr, "lumovar: cannot read %s\n", path.c_str());
        return kExitUsage;
    }
    app::SourceCache cache;
    std::string error;
    if (!model::loadModelFile(path, cache, contents, error)) {
        std::fprintf(stderr, "%s\n", printable(error).c_str());
        return kExitUserError;
    }
    lang::setEps(contents.eps);
    lang::setAlpha(contents.alpha);
    return kExitOk;
}

// Prints a compiled file's first error as FILE:LINE:COLUMN: error: MESSAGE.
void printCompileError(const app::CompiledFile& file) {
    reportDiagnostic(compileDiagnostic(file.path, *file.firstError));
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
    rememberLibrary(libraryPath, cache.library()->objects);
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

bool isModelFilePath(const std::string& path) {
    return path.size() >= 4 && path.compare(path.size() - 4, 4, ".lvm") == 0;
}

int commandUsageError(const char* command, const std::string& message) {
    std::fprintf(stderr, "lumovar %s: %s (see lumovar %s --help)\n", command, message.c_str(),
                 command);
    return kExitUsage;
}

int loadModelArgs(const char* command, const std::vector<std::string>& positionals,
                  const std::string& libraryPath, model::ModelFileContents& contents) {
    if (positionals.size() == 1 && isModelFilePath(positionals[0])) {
        if (!libraryPath.empty())
            return commandUsageError(command, "--lib applies to FILE.lv OBJECT only");
        return loadModel(positionals[0], contents);
    }
    if (positionals.size() == 2)
        return oneObjectModel(positionals[0], positionals[1], libraryPath, contents);
    return commandUsageError(command, "expected MODEL.lvm, or FILE.lv and OBJECT");
}

} // namespace lv::cli
