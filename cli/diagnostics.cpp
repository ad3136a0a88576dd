#include "cli/diagnostics.h"

#include <cstdio>
#include <unordered_set>

namespace lv::cli {

namespace {

struct RememberedLibrary {
    std::string path;
    lang::ObjectList objects;
};

RememberedLibrary& library() {
    static RememberedLibrary remembered;
    return remembered;
}

bool reaches(const lang::CompiledObject& from, const lang::CompiledObject* target,
             std::unordered_set<const lang::CompiledObject*>& seen) {
    if (&from == target) return true;
    if (!seen.insert(&from).second) return false;
    for (const auto& callee : from.callees)
        if (reaches(*callee, target, seen)) return true;
    return false;
}

} // namespace

void rememberLibrary(const std::string& path, const lang::ObjectList& objects) {
    library() = {path, objects};
}

std::string diagnosticText(const std::string& file, int line, int column,
                           const std::string& message) {
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) +
           ": error: " + message;
}

std::string compileDiagnostic(const std::string& path, const lang::CompileError& error) {
    return diagnosticText(path, error.line, error.column, error.message);
}

std::string runtimeDiagnostic(const std::string& objectPath, const lang::RuntimeError& error) {
    const std::string* file = &objectPath;
    if (error.object != nullptr) {
        std::unordered_set<const lang::CompiledObject*> seen;
        for (const auto& o : library().objects) {
            if (reaches(*o, error.object, seen)) {
                file = &library().path;
                break;
            }
        }
    }
    return diagnosticText(*file, error.line, error.column, error.message);
}

void reportDiagnostic(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); }

} // namespace lv::cli
