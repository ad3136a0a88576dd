#include "cli/program.h"

#include <cstdio>

#include "app/app_messages.h"
#include "app/model_loading.h"
#include "cli/args.h"
#include "cli/diagnostics.h"
#include "cli/model_args.h"
#include "lang/settings.h"
#include "model/grid_sampler.h"

namespace lv::cli {

int loadProgram(const std::string& path, const std::string& libraryPath, LoadedProgram& out) {
    out.path = path;
    out.libraryPath = libraryPath;
    app::SourceCache cache;
    std::shared_ptr<const app::CompiledFile> file;
    app::LoadOutcome outcome = app::loadSource(cache, path, libraryPath, file);
    if (cache.library() && !cache.library()->hasError()) {
        out.library = cache.library()->objects;
        rememberLibrary(libraryPath, out.library);
    }
    if (file) out.objects = file->objects;
    return reportLoad(outcome);
}

lang::CompiledObjectPtr requireObject(const LoadedProgram& program, const std::string& name) {
    if (auto o = lang::findObject(program.objects, lang::lowerObjectName(name))) return o;
    std::string names;
    for (const auto& o : program.objects) names += (names.empty() ? "" : ", ") + o->name;
    std::fprintf(stderr, "lumovar: %s has no object named '%s' (objects: %s)\n",
                 program.path.c_str(), name.c_str(), names.empty() ? "none" : names.c_str());
    return nullptr;
}

std::string runtimeErrorText(const LoadedProgram& program, const lang::RuntimeError& error) {
    return runtimeDiagnostic(program.path, error);
}

void printRuntimeError(const LoadedProgram& program, const lang::RuntimeError& error) {
    reportDiagnostic(runtimeErrorText(program, error));
}

bool applyEpsAlpha(const std::string& epsText, const std::string& alphaText) {
    float v = 0.0f;
    if (!epsText.empty() && !(parseFloat(epsText, v) && lang::setEps(v))) {
        std::fprintf(stderr, "lumovar: --eps %s: %s\n", epsText.c_str(),
                     app::appMessage(app::AppMessage::EpsRange));
        return false;
    }
    if (!alphaText.empty() && !(parseFloat(alphaText, v) && lang::setAlpha(v))) {
        std::fprintf(stderr, "lumovar: --alpha %s: %s\n", alphaText.c_str(),
                     app::appMessage(app::AppMessage::AlphaRange));
        return false;
    }
    return true;
}

bool applyThreads(const char* command, const ParsedArgs& args) {
    if (!args.has("--threads")) return true;
    std::vector<int> n;
    std::string error;
    if (!parseIntList(args.get("--threads"), n, error) || n.size() != 1 || n[0] < 1 ||
        n[0] > kMaxThreads) {
        std::fprintf(stderr, "lumovar %s: --threads needs a whole number from 1 to %d\n",
                     command, kMaxThreads);
        return false;
    }
    model::setSamplingThreads(n[0]);
    return true;
}

} // namespace lv::cli
