#pragma once
// The model a subcommand works on: MODEL.lvm, or FILE.lv OBJECT as a model of that one object
// with the defaults of a new object. Errors are printed; the result is an exit status.
#include <string>
#include <vector>

#include "app/model_loading.h"
#include "cli/args.h"
#include "model/model_file.h"

namespace lv::cli {

// Loads the model named by positionals ([MODEL.lvm] or [FILE.lv, OBJECT]). libraryPath is
// only allowed with FILE.lv OBJECT. A model file's EPS and ALPHA are applied. command names
// the subcommand in usage errors.
int loadModelArgs(const char* command, const std::vector<std::string>& positionals,
                  const std::string& libraryPath, model::ModelFileContents& contents);

// Prints why a load stopped, as the command line words it; returns the exit status (kExitOk
// for a load that did not stop).
int reportLoad(const app::LoadOutcome& outcome);

// Every file a run on m reads (the positionals, --lib and each object's source), for the
// refusal of an output that would overwrite one of them.
std::vector<std::string> inputsOf(const ParsedArgs& args, const model::Model& m);

// Reads --frame K (0: the time defaults, K >= 1: row K of contents' time curve) into frame and,
// for K >= 1, that row's time values into row. Prints the refusal and returns kExitUsage for
// anything but a whole number up to the number of rows; kExitOk otherwise (also without
// --frame: frame 0).
int readFrameFlag(const char* command, const ParsedArgs& args,
                  const model::ModelFileContents& contents, int& frame, model::TimeRow& row);

// True for a path ending in ".lvm".
bool isModelFilePath(const std::string& path);

// Prints "lumovar COMMAND: MESSAGE (see lumovar COMMAND --help)"; returns kExitUsage.
int commandUsageError(const char* command, const std::string& message);

} // namespace lv::cli
