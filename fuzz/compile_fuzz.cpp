// Compiles arbitrary text and runs every object it defines at a few points, with random
// parameter values. Loops and calls are bounded so that a program that never ends is not
// taken for a hang of the interpreter.
#include <cstddef>
#include <cstdint>
#include <string>

#include "eval/interpreter.h"
#include "lang/compiler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str(); // the compiler reads up to the first NUL
    lv::lang::ObjectList objects;
    std::vector<lv::lang::CompileError> errors;
    lv::lang::compileProgram(text.c_str(), objects, errors, {});
    static const float kValues[] = {0.0f, 1.5f, -2.25f, 1e-7f, 3.0f, -1e30f, 0.5f};
    for (const auto& object : objects) {
        lv::eval::Workspace ws(*object);
        for (int point = 0; point < 3; ++point) {
            for (int i = 0; i < object->xSize + object->aSize; ++i)
                ws.values[i] = kValues[(i + point * 3 + size) % 7];
            float result = 0.0f;
            lv::lang::RuntimeError error;
            lv::eval::executeObjectBounded(*object, ws.values.data(), ws.flags.data(), result,
                                           error, 20000);
        }
    }
    return 0;
}
