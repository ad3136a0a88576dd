#pragma once
// Loading and compiling the user's files for the subcommands, with errors printed in the
// form FILE:LINE:COLUMN: error: MESSAGE.
#include <string>

#include "cli/args.h"
#include "lang/compiler.h"

namespace lv::cli {

struct LoadedProgram {
    std::string path;
    std::string libraryPath; // empty without --lib
    lang::ObjectList objects;
    lang::ObjectList library;
};

// Compiles libraryPath (without a library) when it is not empty, then path against it.
// On failure prints the error and returns kExitUsage (unreadable file) or kExitUserError
// (compile error); returns kExitOk on success.
int loadProgram(const std::string& path, const std::string& libraryPath, LoadedProgram& out);

// The object named name (any letter case), or prints an error listing the objects.
lang::CompiledObjectPtr requireObject(const LoadedProgram& program, const std::string& name);

// Prints a run-time error as FILE:LINE:COLUMN: error: MESSAGE, FILE being the library file
// when the failing code came from a library object.
void printRuntimeError(const LoadedProgram& program, const lang::RuntimeError& error);
std::string runtimeErrorText(const LoadedProgram& program, const lang::RuntimeError& error);

// Applies --eps and --alpha through the setters; prints the refusal and returns false.
bool applyEpsAlpha(const std::string& epsText, const std::string& alphaText);

// --threads N of the commands that polygonize: how many threads sample F.
inline constexpr FlagDef kThreadsFlag = {
    "--threads", true, "N: threads that sample F, 1..256 (default: the machine's cores)"};
// --no-prune of the commands that sample F over a grid: every grid point is evaluated.
inline constexpr FlagDef kNoPruneFlag = {
    "--no-prune", false, "sample every grid point (the same output, more evaluations)"};
// Applies args' --threads (when given) to the samplers; prints the refusal of a value that is
// not a whole number from 1 to kMaxThreads and returns false.
bool applyThreads(const char* command, const ParsedArgs& args);
constexpr int kMaxThreads = 256;

} // namespace lv::cli
