#pragma once
// Shorter programs for a range of inputs over which some min and max instructions always
// return the same operand, or some conditions always take the same branch: the code that can
// no longer make a difference there is left out.
#include <cstdint>
#include <vector>

#include "lang/decoded.h"

namespace lv::lang {

// Writes into out program shortened by decisions (one per instruction, as boundObject fills
// them over a proven range): every decided min and max is replaced by its winning operand, the
// code of the losing operand left out; every decided conditional jump loses its condition and
// becomes a jump (or nothing), and the code no path reaches any more is left out; then a load
// of an assigned local stored straight back and a jump to the next instruction left are
// left out too. Code is left out only where it is plain expression code (no store, jump, call
// or failure instruction, no jump landing inside it), found by stack depth, or unreachable;
// jumps are renumbered and their landings marked anew. For inputs in the range the decisions
// were made for, out computes the same values bit for bit (no dropped code can fail there,
// since the range was proven). Returns whether anything was left out (out is then written;
// otherwise it is unspecified).
bool shortenProgram(const DecodedProgram& program, const std::vector<std::int8_t>& decisions,
                    DecodedProgram& out);

} // namespace lv::lang
