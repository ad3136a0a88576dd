#pragma once
// Flags that shape the one object of a FILE.lv OBJECT model: its box, its grid and the values
// (or, for films, the time variables) of its a components.
#include <string>

#include "cli/args.h"
#include "model/model.h"

namespace lv::cli {

// Applies --box XMIN,YMIN,ZMIN,XMAX,YMAX,ZMAX, --grid NX,NY,NZ (1..1000 each) and --a to object.
// --a takes one item per a component: a number, or with allowTime also T1, T2 or T3 (any letter
// case) binding the component to that time variable. Prints the refusal and returns
// kExitUsage on a bad value, kExitOk otherwise.
int applyObjectFlags(const char* command, const ParsedArgs& args, model::ModelObject& object,
                     bool allowTime);

// Applies --box and --grid alone (as above).
int applyBoxAndGrid(const char* command, const ParsedArgs& args, model::ModelObject& object);

// Refuses (kExitUsage, printed) each of the flags above that args holds, for a model file.
int refuseObjectFlags(const char* command, const ParsedArgs& args);

} // namespace lv::cli
