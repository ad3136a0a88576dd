#pragma once
// The operations behind rows 19..65 of the built-in function table.
#include "lang/runtime.h"

namespace lv::prim {

// Evaluation operation: args is the argument vector in reverse call order (args[0] is the last
// argument written in the call). Returns the function value, or 1.0 for a transform.
using EvaluateFn = float (*)(const float* args, lang::CallContext& call);
// Check operation: returns true to go on; on false it has called call.fail().
using CheckFn = bool (*)(const float* args, lang::CallContext& call);

struct PrimitiveOps {
    EvaluateFn evaluate = nullptr; // null: "Function is not implemented yet"
    CheckFn check = nullptr;       // null: no check
};

// Operations of built-in row (19..65); rows outside that range have none.
const PrimitiveOps& primitiveOps(int row);

} // namespace lv::prim
