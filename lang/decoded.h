#pragma once
// The form in which the interpreter runs an object: its code decoded once, after compilation,
// into instructions in evaluation order (last operand first) for a small value stack.
#include <cstdint>
#include <utility>
#include <vector>

#include "lang/compiled_object.h"

namespace lv::lang {

// ORDER DECODED
enum DecodedOp : std::uint8_t {
    // expressions: push one value
    kDConst,        // f
    kDLocal,        // a = frame slot of a scalar
    kDSlot,         // a = frame slot of an element whose index is a constant in range
    kDElement,      // a = frame offset, b = size; pops the index
    kDArray,        // a = frame offset, b = size; the value is the 10 word's index
    kDString,       // a = string index
    kDCall,         // a = callee, b = x offset, c = a offset
    kDBuiltin,      // a = row, b = argument count; pops the arguments
    kDAdd,          // pops left (top) and right
    kDSub,
    kDMul,
    kDAddK,         // f = a constant operand: top + f
    kDMulK,         // top * f
    kDSubK,         // top - f (the constant is the right operand)
    kDRSubK,        // f - top (the constant is the left operand)
    kDBinary,       // a = any other operator word; pops left (top) and right
    kDSquare,       // ^2; pops left
    kDSlotSquare,   // kDSlot then kDSquare: a = frame slot, at of the ^ (the slot's is at - 2)
    kDSetOp,        // a = &, @, | or \ word; pops left (top) and right
    kDPowConst,     // f = the exponent, g = its fraction, a = nearest(|f|) or -1 when huge
    kDUnary,        // a = operator word
    // statements
    kDStore,        // a = frame slot; pops
    kDIndexCheck,   // a = size; turns the top value into a checked 1-based index
    kDStoreElement, // a = frame offset; pops the value and the index
    kDArrayLiteral, // a = frame offset, b = count, c = first constant
    kDJump,         // a = instruction
    kDJumpIfFalse,  // a = instruction; pops the condition
    kDResult,       // pops the result and returns it
    kDFail,         // a = message index
    kDMax,          // max of two reals; pops the first argument (top) and the second
    kDMin,          // min of two reals, likewise
};

// Whole exponents up to this are multiplied out step by step; beyond it pow in double is used
// (the product has long since reached 0 or infinity for every base not within ulps of 1).
constexpr double kMaxStepwiseExponent = 65536.0;

struct DecodedInstr {
    DecodedOp op;
    int a = 0, b = 0, c = 0;
    float f = 0.0f;
    float g = 0.0f;
    int at = 0; // code index whose source position errors report
    // Loads and range checks: 0 when the slots are assigned on every path that reaches the
    // instruction, so the unassigned check can be left out. Stores: 0 when no check ever reads
    // the flag of the slot written.
    std::uint8_t check = 1;
    std::uint8_t target = 0; // 1 when some jump lands here
};

struct DecodedProgram {
    std::vector<DecodedInstr> code;
    int stackNeed = 0; // values on the stack at most, callees' evaluations included
    // Frame slot ranges [first, end) whose flags some remaining check reads: the only flags
    // an evaluation must reset. Sorted, not overlapping.
    std::vector<std::pair<int, int>> flagRanges;
};

// Decodes object's code; code that our compiler cannot have produced decodes to one
// instruction failing with "Bad code is generated for object". Decides which unassigned
// checks are needed (see DecodedInstr::check) and marks jump targets.
DecodedProgram decodeObject(const CompiledObject& object);

} // namespace lv::lang
