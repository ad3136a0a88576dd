#pragma once
// The state of one running evaluation, and what a built-in call sees of it. Nothing here is
// process-wide: two threads evaluating two workspaces never share an EvalState.
#include "lang/compiled_object.h"

namespace lv::lang {

// The object now running and its frame in the caller's workspace.
struct EvalState {
    const CompiledObject* object = nullptr;
    float* frame = nullptr;
    int* flags = nullptr;
};

// Resolves an array argument: position is the code index of the array-argument word 10 that
// the interpreter passed. Returns 1 and sets elements and count when state is present, position
// is at least 2, the word there is 10 and the size word before it is at least 1; else 0.
int resolve_array(const EvalState& state, int position, float** elements, int* count);

// Fills error with message messageIndex at the source position of code word codeIndex
// (line and column 0 when the object has no position for it).
void reportRuntimeError(const CompiledObject& object, int messageIndex, RuntimeError& error,
                        int codeIndex);

// What a built-in's check and evaluation operations receive besides the argument vector.
struct CallContext {
    const EvalState& state;
    RuntimeError& error;
    int codeIndex;       // code index of the call word: errors are reported there
    bool failed = false; // set by fail(); the interpreter stops after the operation returns

    // Resolves an array handle from the argument vector (truncated toward zero).
    bool resolveArray(float handle, float** elements, int* count) const;
    const std::vector<std::string>& strings() const { return state.object->strings; }
    // Stops the evaluation with message messageIndex of the message table.
    void fail(int messageIndex);
    // Stops the evaluation with a primitive's own static text.
    void failWithText(const char* text);
};

} // namespace lv::lang
