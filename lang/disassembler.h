#pragma once
// Text forms of a compiled object for people debugging programs and for tests: the compiled
// code as numbers (`lumovar check --dump`) and the decoded program the interpreter runs, one
// named instruction a line (`lumovar check --disasm`).
#include <string>

#include "lang/compiled_object.h"

namespace lv::lang {

// Five lines, each starting with two blanks: "slots S nested N", "code W ...",
// "constants C ..." (%.9g), "strings "..." ...", "callees NAME ...". Labels always appear.
std::string dumpObject(const CompiledObject& object);

// One line per decoded instruction: two blanks, its index right-aligned in 4 columns, two
// blanks, the instruction name (padded to 12 columns when operands follow), its operands (reals %.9g, callees, rows
// and messages by name, operators as written in programs), and "  @LINE:COLUMN" of the source
// position its errors report when it has one. Decodes object's code when it carries no decoded
// program; code that cannot be decoded shows as its one "fail" instruction.
std::string disassembleObject(const CompiledObject& object);

} // namespace lv::lang
