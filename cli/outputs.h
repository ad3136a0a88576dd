#pragma once
// The command line's check of the files a command will write.
#include <string>
#include <vector>

namespace lv::cli {

// Checks the output path given with flag before any work is done (exporter::outputPathProblem).
// Prints the reason as "lumovar COMMAND: FLAG PATH: ..." and returns kExitUsage on a refusal,
// kExitOk otherwise.
int checkOutputPath(const char* command, const char* flag, const std::string& path,
                    const std::vector<std::string>& extensions,
                    const std::vector<std::string>& inputs);

// "cannot write 'PATH': REASON" failures of the writers all end a command with this status.
constexpr int kExitUnwritable = 2;

} // namespace lv::cli
