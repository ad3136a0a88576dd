// lumovar: the desktop application with no arguments or with .lv and .lvm files; otherwise
// the command-line front end, whose subcommands work headless and never need a display.
#include <cstdio>
#include <cstring>

#include "app/application.h"

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/signals.h"

namespace {

using lv::cli::Command;

// Every subcommand, in the order --help lists them.
const Command kCommands[] = {
    {"check", "compile a .lv file and list its objects", lv::cli::runCheck},
    {"eval", "evaluate an object at points", lv::cli::runEval},
    {"mesh", "polygonize an object or a model into a mesh file", lv::cli::runMesh},
    {"scene", "print the ray-tracing scene text of a model", lv::cli::runScene},
    {"render", "render a model's single frame to a picture, headless", lv::cli::runRender},
    {"animate", "render every time-curve row and compile a film, headless", lv::cli::runAnimate},
    {"raytrace", "ray-trace a model's frame with POV-Ray to a picture", lv::cli::runRaytrace},
};

void printHelp() {
    std::printf("usage: lumovar COMMAND [ARGS...]\n"
                "       lumovar COMMAND --help\n\ncommands:\n");
    for (const Command& c : kCommands) std::printf("  %-10s %s\n", c.name, c.summary);
}

} // namespace

int main(int argc, char** argv) {
    if (lv::app::isGuiCommandLine(argc, argv)) return lv::app::runGui(argc, argv);
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        printHelp();
        return lv::cli::kExitOk;
    }
    for (const Command& c : kCommands)
        if (std::strcmp(argv[1], c.name) == 0) {
            lv::cli::installCleanupHandlers(); // no temporary file outlives an interruption
            return c.run(argc - 1, argv + 1);
        }
    std::fprintf(stderr, "lumovar: unknown command '%s' (see lumovar --help)\n", argv[1]);
    return lv::cli::kExitUsage;
}
