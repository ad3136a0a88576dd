#pragma once
// Signal handling of the command line: no temporary file outlives an interrupted run, and a
// --timeout raises the evaluation stop when its time is up.
#include <string>

namespace lv::cli {

// Makes SIGINT, SIGTERM and SIGHUP remove every registered temporary file and then end the
// process as the signal would have (exit status 128 + signal number).
void installCleanupHandlers();

// Parses a --timeout value: seconds, a finite number above 0 and at most 1,000,000. False
// with error set otherwise.
bool parseTimeout(const std::string& text, double& seconds, std::string& error);

// Arms a one-shot timer that raises lang::evaluationStop() after seconds (> 0).
void armTimeout(double seconds);

// Whether an armed timer has fired (the evaluation stop is raised).
bool timedOut();

// "lumovar COMMAND: object 'NAME' did not finish within S s (--timeout)", printed to stderr;
// returns kExitUserError.
int reportTimeout(const char* command, const std::string& object, double seconds);

} // namespace lv::cli
