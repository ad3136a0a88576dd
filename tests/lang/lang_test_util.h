#pragma once
// Helpers shared by the language tests: compile a text, evaluate an object.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eval/interpreter.h"
#include "lang/compiler.h"

namespace lv::lang::testing {

struct Compiled {
    ObjectList objects;
    std::vector<CompileError> errors;
    int status = 0;
};

inline Compiled compile(const std::string& text, const ObjectList& library = {}) {
    Compiled c;
    c.status = compileProgram(text.c_str(), c.objects, c.errors, library);
    return c;
}

// The first compile error as "LINE:COLUMN: MESSAGE", or "" when the text compiled.
inline std::string firstError(const std::string& text) {
    Compiled c = compile(text);
    if (c.errors.empty()) return "";
    const CompileError& e = c.errors.front();
    return std::to_string(e.line) + ":" + std::to_string(e.column) + ": " + e.message;
}

struct Outcome {
    bool ok = false;
    float value = 0.0f;
    std::string error; // "LINE:COLUMN: MESSAGE" when !ok
};

inline Outcome run(const CompiledObject& object, const std::vector<float>& x,
                   const std::vector<float>& a = {}) {
    eval::Workspace ws(object);
    for (std::size_t i = 0; i < x.size() && static_cast<int>(i) < object.xSize; ++i)
        ws.values[i] = x[i];
    for (std::size_t i = 0; i < a.size() && static_cast<int>(i) < object.aSize; ++i)
        ws.values[object.xSize + i] = a[i];
    Outcome out;
    RuntimeError error;
    out.ok = eval::executeObject(object, ws.values.data(), ws.flags.data(), out.value, error) == 1;
    if (!out.ok)
        out.error = std::to_string(error.line) + ":" + std::to_string(error.column) + ": " +
                    error.message;
    return out;
}

// Compiles text (which must compile) and runs its last object.
inline Outcome evalLast(const std::string& text, const std::vector<float>& x = {},
                        const std::vector<float>& a = {}) {
    Compiled c = compile(text);
    EXPECT_TRUE(c.errors.empty()) << text << "\n" << (c.errors.empty() ? "" : c.errors[0].message);
    if (c.objects.empty()) return {};
    return run(*c.objects.back(), x, a);
}

// Value of one expression written as the body of an object without parameters.
inline Outcome evalExpr(const std::string& expression) {
    return evalLast("t(x[0], a[0]) { t = " + expression + "; }");
}

} // namespace lv::lang::testing
