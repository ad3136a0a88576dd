// lumovar check and lumovar eval.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/program.h"
#include "cli/signals.h"
#include "eval/interpreter.h"
#include "lang/disassembler.h"

namespace lv::cli {

namespace {

const std::vector<FlagDef> kCheckFlags = {
    {"--lib", true, "LIB.lv: library whose objects the file may call"},
    {"--dump", false, "print each object's compiled form after its line"},
    {"--disasm", false, "print each object's decoded instructions, one a line, after its line"},
};

const std::vector<FlagDef> kEvalFlags = {
    {"--x", true, "V,V,...: the object's x values (exactly xSize of them)"},
    {"--a", true, "V,V,...: the object's a values (exactly aSize of them)"},
    {"--points", true, "PATH or -: one point a line (x values split by blanks or commas)"},
    {"--eps", true, "E: calculation precision, 0 < E < 1 (default 0.000001)"},
    {"--alpha", true, "A: parameter of the set operations, -1 <= A <= 1 (default 0)"},
    {"--lib", true, "LIB.lv: library whose objects the file may call"},
    {"--timeout", true, "S: give up after S seconds of evaluation (exit 1)"},
};

int usageError(const char* command, const std::string& message) {
    std::fprintf(stderr, "lumovar %s: %s (see lumovar %s --help)\n", command, message.c_str(),
                 command);
    return kExitUsage;
}

// Evaluates object at x (its a values already in the workspace); prints the value or the error.
bool evaluatePoint(const LoadedProgram& program, const lang::CompiledObject& object,
                   eval::Workspace& ws, const std::vector<float>& x, bool errorsToStdout) {
    std::copy(x.begin(), x.end(), ws.values.begin());
    float result = 0.0f;
    lang::RuntimeError error;
    if (eval::executeObject(object, ws.values.data(), ws.flags.data(), result, error) == 0) {
        if (timedOut()) return false; // the caller reports the stop once
        if (errorsToStdout)
            std::printf("%s\n", runtimeErrorText(program, error).c_str());
        else
            printRuntimeError(program, error);
        return false;
    }
    std::printf("%.9g\n", static_cast<double>(result));
    return true;
}

// Streams points from in: one line each; blank lines and lines starting with # are skipped.
int evaluateStream(const LoadedProgram& program, const lang::CompiledObject& object,
                   eval::Workspace& ws, std::istream& in, const std::string& name) {
    std::string line;
    int lineNumber = 0;
    bool allOk = true;
    std::vector<float> x;
    while (!timedOut() && std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::string error;
        if (!parseFloatList(line, x, error) || static_cast<int>(x.size()) != object.xSize) {
            if (error.empty())
                error = "expected " + std::to_string(object.xSize) + " values, got " +
                        std::to_string(x.size());
            std::printf("%s:%d: error: %s\n", name.c_str(), lineNumber, error.c_str());
            allOk = false;
            continue;
        }
        allOk = evaluatePoint(program, object, ws, x, true) && allOk;
    }
    return allOk ? kExitOk : kExitUserError;
}


// Evaluates at --x or at every point of --points, arming the timer first when given.
int evaluateAll(const ParsedArgs& args, const LoadedProgram& program,
                const lang::CompiledObject& object, eval::Workspace& ws, const double* timeout) {
    std::string error;
    if (args.has("--x")) {
        std::vector<float> x;
        if (!parseFloatList(args.get("--x"), x, error))
            return usageError("eval", "--x: " + error);
        if (static_cast<int>(x.size()) != object.xSize)
            return usageError("eval", "--x must give " + std::to_string(object.xSize) +
                                          " values for " + object.name + ", got " +
                                          std::to_string(x.size()));
        if (timeout) armTimeout(*timeout);
        return evaluatePoint(program, object, ws, x, false) ? kExitOk : kExitUserError;
    }
    std::string path = args.get("--points");
    if (path == "-") {
        if (timeout) armTimeout(*timeout);
        return evaluateStream(program, object, ws, std::cin, "<stdin>");
    }
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "lumovar: cannot read %s\n", path.c_str());
        return kExitUsage;
    }
    if (timeout) armTimeout(*timeout);
    return evaluateStream(program, object, ws, in, path);
}

} // namespace

int runCheck(int argc, char** argv) {
    std::string error;
    auto args = parseArgs(argc, argv, 1, kCheckFlags, error);
    if (!args) return usageError("check", error);
    if (args->help) {
        printUsage("lumovar check FILE.lv [--lib LIB.lv] [--dump] [--disasm]\n\n"
                   "Compiles FILE.lv and prints one line per object: NAME x[N] a[M]. A file "
                   "without\nobjects is an error (exit 1).",
                   kCheckFlags);
        return kExitOk;
    }
    if (args->positionals.size() != 1) return usageError("check", "expected one FILE.lv");
    LoadedProgram program;
    int status = loadProgram(args->positionals[0], args->get("--lib"), program);
    if (status != kExitOk) return status;
    if (program.objects.empty()) {
        std::fprintf(stderr, "lumovar check: %s has no objects\n", program.path.c_str());
        return kExitUserError;
    }
    for (const auto& o : program.objects) {
        std::printf("%s x[%d] a[%d]\n", o->name.c_str(), o->xSize, o->aSize);
        if (args->has("--dump")) std::fputs(lang::dumpObject(*o).c_str(), stdout);
        if (args->has("--disasm")) std::fputs(lang::disassembleObject(*o).c_str(), stdout);
    }
    return kExitOk;
}

int runEval(int argc, char** argv) {
    std::string error;
    auto args = parseArgs(argc, argv, 1, kEvalFlags, error);
    if (!args) return usageError("eval", error);
    if (args->help) {
        printUsage("lumovar eval FILE.lv OBJECT (--x V,... | --points PATH|-) [--a V,...]\n"
                   "                    [--eps E] [--alpha A] [--lib LIB.lv] [--timeout S]\n\n"
                   "Evaluates OBJECT and prints F with 9 significant digits, one line per "
                   "point.\nWith --points an error at a point is printed in its place and "
                   "the exit status is 1.",
                   kEvalFlags);
        return kExitOk;
    }
    if (args->positionals.size() != 2) return usageError("eval", "expected FILE.lv and OBJECT");
    if (args->has("--x") == args->has("--points"))
        return usageError("eval", "give exactly one of --x and --points");
    if (!applyEpsAlpha(args->get("--eps"), args->get("--alpha"))) return kExitUsage;
    double timeout = 0.0;
    if (args->has("--timeout") && !parseTimeout(args->get("--timeout"), timeout, error))
        return usageError("eval", error);
    std::string points = args->get("--points");
    std::error_code ec;
    if (args->has("--points") && points != "-" && std::filesystem::is_directory(points, ec))
        return usageError("eval", "--points " + points + " is a folder");
    LoadedProgram program;
    int status = loadProgram(args->positionals[0], args->get("--lib"), program);
    if (status != kExitOk) return status;
    auto object = requireObject(program, args->positionals[1]);
    if (!object) return kExitUsage;

    std::vector<float> a;
    if (!parseFloatList(args->get("--a"), a, error)) return usageError("eval", "--a: " + error);
    if (static_cast<int>(a.size()) != object->aSize)
        return usageError("eval", "--a must give " + std::to_string(object->aSize) +
                                      " values for " + object->name + ", got " +
                                      std::to_string(a.size()));
    eval::Workspace ws(*object);
    std::copy(a.begin(), a.end(), ws.values.begin() + object->xSize);
    int result = evaluateAll(*args, program, *object, ws, timeout > 0 ? &timeout : nullptr);
    if (timedOut()) return reportTimeout("eval", object->name, timeout);
    return result;
}

} // namespace lv::cli
