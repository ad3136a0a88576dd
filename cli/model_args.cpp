#include "cli/model_args.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/model_loading.h"
#include "cli/args.h"
#include "cli/diagnostics.h"

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
    return reportLoad(app::openModelFile(path, cache, contents));
}

// A model of the one object named objectName of the file at path, with new-object defaults.
int oneObjectModel(const std::string& path, const std::string& objectName,
                   const std::string& libraryPath, model::ModelFileContents& contents) {
    app::SourceCache cache;
    app::LoadOutcome outcome =
        app::loadObjectModel(cache, path, objectName, libraryPath, contents);
    if (cache.library() && !cache.library()->hasError())
        rememberLibrary(libraryPath, cache.library()->objects);
    return reportLoad(outcome);
}

} // namespace

int reportLoad(const app::LoadOutcome& outcome) {
    const char* path = outcome.path.c_str();
    const char* object = outcome.objectName.c_str();
    switch (outcome.status) {
    case app::LoadStatus::Ok:
        return kExitOk;
    case app::LoadStatus::Unreadable:
        std::fprintf(stderr, "lumovar: cannot read %s: %s\n", path, outcome.readError.c_str());
        return kExitUsage;
    case app::LoadStatus::OutOfMemory:
        std::fprintf(stderr, "%s: error: out of memory while compiling\n", path);
        return kExitUserError;
    case app::LoadStatus::CompileError:
        reportDiagnostic(compileDiagnostic(outcome.path, outcome.compileError));
        return kExitUserError;
    case app::LoadStatus::NoSuchObject:
        std::fprintf(stderr, "lumovar: %s has no object named '%s'\n", path, object);
        return kExitUsage;
    case app::LoadStatus::TooFewX:
        std::fprintf(stderr, "lumovar: object '%s' has fewer than 3 x components\n", object);
        return kExitUserError;
    case app::LoadStatus::NotAdded:
        std::fprintf(stderr, "lumovar: cannot add object '%s'\n", object);
        return kExitUserError;
    case app::LoadStatus::ModelFileError:
        std::fprintf(stderr, "%s\n", printable(outcome.readError).c_str());
        return kExitUserError;
    }
    return kExitUserError;
}

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

std::vector<std::string> inputsOf(const ParsedArgs& args, const model::Model& m) {
    std::vector<std::string> inputs = args.positionals;
    inputs.push_back(args.get("--lib"));
    for (int i = 0; i < m.count(); ++i) inputs.push_back(m.object(i).sourcePath);
    return inputs;
}

int readFrameFlag(const char* command, const ParsedArgs& args,
                  const model::ModelFileContents& contents, int& frame, model::TimeRow& row) {
    frame = 0;
    if (!args.has("--frame")) return kExitOk;
    const std::string text = args.get("--frame");
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); }))
        return commandUsageError(command, "--frame must be a whole number from 0");
    frame = std::stoi(text);
    const int rows = static_cast<int>(contents.timeRows.size());
    if (frame > rows)
        return commandUsageError(command, "--frame " + std::to_string(frame) +
                                              " is beyond the " + std::to_string(rows) +
                                              " rows of the time curve");
    if (frame >= 1) row = contents.timeRows[static_cast<std::size_t>(frame - 1)];
    return kExitOk;
}

} // namespace lv::cli
