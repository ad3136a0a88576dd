#include "cli/outputs.h"

#include <cstdio>

#include "cli/args.h"
#include "export/output_paths.h"

namespace lv::cli {

int checkOutputPath(const char* command, const char* flag, const std::string& path,
                    const std::vector<std::string>& extensions,
                    const std::vector<std::string>& inputs) {
    std::optional<std::string> problem = exporter::outputPathProblem(path, extensions, inputs);
    if (!problem) return kExitOk;
    std::fprintf(stderr, "lumovar %s: %s %s: %s\n", command, flag,
                 path.empty() ? "''" : path.c_str(), problem->c_str());
    return kExitUsage;
}

} // namespace lv::cli
