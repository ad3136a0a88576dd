#pragma once
// Evaluates a compiled object at one point.
#include <vector>

#include "lang/compiled_object.h"

namespace lv::eval {

// Runs object on workspace (at least object.workspaceSize() reals, x at 0.., a at xSize..,
// written by the caller) with a parallel array of flags. Returns 1 with result = F, or 0 with
// error filled and result untouched. The flags of x and a are set to 0 and those of the locals
// that a check may read to 1 first, so the caller need not prepare them; the cost does not
// grow with slots the code never checks. Allocates nothing. While evaluationStop()
// (lang/stop_token.h) is raised it fails at once, and at the next loop step or call, with
// "Bad code is generated for object".
int executeObject(const lang::CompiledObject& object, float* workspace, int* flags, float& result,
                  lang::RuntimeError& error);

// As executeObject, but gives up with "Bad code is generated for object" once more than
// stepLimit loop iterations and object calls have run (for harnesses fed arbitrary programs).
int executeObjectBounded(const lang::CompiledObject& object, float* workspace, int* flags,
                         float& result, lang::RuntimeError& error, long long stepLimit);

// The memory one object's evaluations need, reusable across evaluations on one thread.
struct Workspace {
    std::vector<float> values;
    std::vector<int> flags;

    explicit Workspace(const lang::CompiledObject& object)
        : values(static_cast<std::size_t>(object.workspaceSize()) + 1, 0.0f),
          flags(values.size(), 1) {}
};

} // namespace lv::eval
