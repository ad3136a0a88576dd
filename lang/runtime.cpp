#include "lang/runtime.h"

#include <cmath>

#include "lang/builtins.h"

namespace lv::lang {

int resolve_array(const EvalState& state, int position, float** elements, int* count) {
    const CompiledObject* object = state.object;
    if (object == nullptr || state.frame == nullptr || position < 2) return 0;
    if (static_cast<std::size_t>(position) >= object->code.size()) return 0;
    if (object->code[position] != kWordArray) return 0;
    int size = object->code[position - 2];
    int offset = object->code[position - 1];
    if (size < 1 || offset < 0 || offset + size > object->slotCount) return 0;
    *elements = state.frame + offset;
    *count = size;
    return 1;
}

void reportRuntimeError(const CompiledObject& object, int messageIndex, RuntimeError& error,
                        int codeIndex) {
    error.message = messageText(messageIndex);
    error.line = object.lineAt(codeIndex);
    error.column = object.columnAt(codeIndex);
    error.object = &object;
}

bool CallContext::resolveArray(float handle, float** elements, int* count) const {
    // A handle that is not a finite code index resolves to nothing.
    if (!(std::fabs(handle) < 2147483647.0f)) return false;
    return resolve_array(state, static_cast<int>(handle), elements, count) == 1;
}

void CallContext::fail(int messageIndex) {
    reportRuntimeError(*state.object, messageIndex, error, codeIndex);
    failed = true;
}

void CallContext::failWithText(const char* text) {
    reportRuntimeError(*state.object, kMsgBadCode, error, codeIndex);
    error.message = text;
    failed = true;
}

} // namespace lv::lang
