#pragma once
// Shorter programs for a range of inputs over which some min and max instructions always
// return the same operand: the instruction is dropped with the code of its other operand.
#include <cstdint>
#include <vector>

#include "lang/decoded.h"

namespace lv::lang {

// Writes into out program with every min and max that decisions (one per instruction, as
// boundObject fills them over a proven range) decide replaced by its winning operand, the
// code of the losing operand left out. An operand is left out only where it is plain
// expression code (no store, jump, jump target or failure instruction), found by stack depth;
// jumps are renumbered. For inputs in the range the decisions were made for, out computes the
// same values bit for bit (no dropped code can fail there, since the range was proven). Returns
// whether anything was left out (out is then written; otherwise it is unspecified).
bool shortenProgram(const DecodedProgram& program, const std::vector<std::int8_t>& decisions,
                    DecodedProgram& out);

} // namespace lv::lang
