#pragma once
// The operations behind the primitive rows of the built-in function table (every row from
// kMathBuiltinCount on).
#include "lang/runtime.h"

namespace lv::prim {

// Evaluation operation: args is the argument vector in reverse call order (args[0] is the last
// argument written in the call). Returns the function value, or 1.0 for a transform.
using EvaluateFn = float (*)(const float* args, lang::CallContext& call);
// Check operation: returns true to go on; on false it has called call.fail().
using CheckFn = bool (*)(const float* args, lang::CallContext& call);

// A block of points for a batched evaluation, one value per lane in each row: the coordinates
// of the call's first argument x and of its second argument (an array of at least 3), and its
// real arguments in call order. lanes lists the lanes to evaluate (count of them), or is null
// for lanes 0 .. count - 1; out receives each evaluated lane's value.
struct PointBatch {
    const float* x[3];
    const float* second[3];
    const float* reals[3];
    const int* lanes;
    int count;
    float* out;
};

// Batched evaluation: for every lane the value EvaluateFn gives for that lane's arguments,
// when the first argument resolves to exactly 3 elements and the second to at least 3.
using EvaluateBatchFn = void (*)(const PointBatch& batch);

struct PrimitiveOps {
    EvaluateFn evaluate = nullptr; // null: "Function is not implemented yet"
    CheckFn check = nullptr;       // null: no check
    EvaluateBatchFn evaluateBatch = nullptr; // null: no batched form
};

// Operations of built-in row (kMathBuiltinCount <= row < kBuiltinCount); rows outside that
// range have none.
const PrimitiveOps& primitiveOps(int row);

} // namespace lv::prim
