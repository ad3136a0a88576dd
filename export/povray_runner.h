#pragma once
// Finding and running the POV-Ray program, and picking its own messages out of what it prints.
#include <functional>
#include <string>

namespace lv::exporter {

// The environment variable that names the ray tracer's program instead of "povray" on PATH.
constexpr const char* kPovrayVariable = "LUMOVAR_POVRAY";

// The path of the ray tracer: $LUMOVAR_POVRAY when set and not empty (a path, or a name looked
// up on PATH), else "povray" looked up on PATH. Empty, with error naming the Debian package,
// when it is not an executable file.
std::string findPovray(std::string& error);

// What runPovray says when it was stopped.
constexpr const char* kPovrayStopped = "the ray tracer was stopped";

// Runs program with the options file options (a name relative to dir) and -D (no display),
// in the folder dir, with no input and everything it prints written to the file log (relative
// to dir), as the leader of a process group of its own (recorded for the signal cleanup of
// temp_registry.h while it runs). stopRequested, when given, is asked every few milliseconds;
// once it says true the whole group is killed and the leader reaped, and the result is false
// with error kPovrayStopped. True when it exits with status 0; otherwise false with error
// saying how it ended followed by its own error lines.
bool runPovray(const std::string& program, const std::string& dir, const std::string& options,
               const std::string& log, std::string& error,
               const std::function<bool()>& stopRequested = {});

// The lines of a ray tracer's output that explain its failure: from the first line that
// mentions an error to the end, without blank lines, at most 20 lines; when no line mentions
// one, the last 10 lines.
std::string povrayErrorLines(const std::string& output);

// Its warnings (a line starting a warning and the indented lines continuing it), as printed,
// but for the advice that a smaller max_gradient would render faster.
std::string povrayWarningLines(const std::string& output);

} // namespace lv::exporter
