#pragma once
// The headless subcommands. Each returns the process exit status.

namespace lv::cli {

using CommandFn = int (*)(int argc, char** argv); // argv[0] is the subcommand's name

struct Command {
    const char* name;
    const char* summary;
    CommandFn run;
};

int runCheck(int argc, char** argv); // commands_lang.cpp
int runEval(int argc, char** argv);  // commands_lang.cpp
int runScene(int argc, char** argv); // commands_model.cpp
int runMesh(int argc, char** argv);  // commands_mesh.cpp
int runRender(int argc, char** argv);  // commands_render.cpp
int runAnimate(int argc, char** argv); // commands_render.cpp
int runRaytrace(int argc, char** argv); // commands_raytrace.cpp

} // namespace lv::cli
