#pragma once
// Which "unassigned" checks of a decoded program can be decided before it runs.
#include "lang/compiled_object.h"
#include "lang/decoded.h"

namespace lv::lang {

// Clears DecodedInstr::check on every load and range check whose slots are assigned on every
// path from the start (x and a count as assigned there), and on every store whose slot no
// remaining check reads; fills program.flagRanges and marks jump targets. A program too large
// to analyse keeps every check, which is always correct.
void decideChecks(const CompiledObject& object, DecodedProgram& program);

} // namespace lv::lang
