#include "cli/program.h"

#include <algorithm>
#include <cstdio>

#include "cli/args.h"
#include "cli/diagnostics.h"
#include "lang/settings.h"
#include "model/grid_sampler.h"
#include "lang/source_text.h"

namespace lv::cli {

namespace {

int compileOne(const std::string& path, const lang::ObjectList& library,
               lang::ObjectList& objects) {
    lang::SourceText source = lang::readSourceFile(path);
    if (!source.ok) {
        std::fprintf(stderr, "lumovar: cannot read %s: %s\n", path.c_str(), source.error.c_str());
        return kExitUsage;
    }
    std::vector<lang::CompileError> errors;
    if (lang::compileProgram(source.text.c_str(), objects, errors, library) == 0) {
        std::fprintf(stderr, "%s: error: out of memory while compiling\n", path.c_str());
        return kExitUserError;
    }
    if (!errors.empty()) {
        reportDiagnostic(compileDiagnostic(path, errors.front()));
        return kExitUserError;
    }
    return kExitOk;
}

} // namespace

int loadProgram(const std::string& path, const std::string& libraryPath, LoadedProgram& out) {
    out.path = path;
    out.libraryPath = libraryPath;
    if (!libraryPath.empty()) {
        int status = compileOne(libraryPath, {}, out.library);
        if (status != kExitOk) return status;
        rememberLibrary(libraryPath, out.library);
    }
    return compileOne(path, out.library, out.objects);
}

lang::CompiledObjectPtr requireObject(const LoadedProgram& program, const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (auto o = lang::findObject(program.objects, lower)) return o;
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
        std::fprintf(stderr, "lumovar: --eps %s: %s\n", epsText.c_str(), lang::kEpsRangeMessage);
        return false;
    }
    if (!alphaText.empty() && !(parseFloat(alphaText, v) && lang::setAlpha(v))) {
        std::fprintf(stderr, "lumovar: --alpha %s: %s\n", alphaText.c_str(),
                     lang::kAlphaRangeMessage);
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
