#pragma once
// What the benchmark programs share: compiling their Lumovar text, and native versions of the
// language's x^2 and set operations (ALPHA = 0) that compute exactly what the interpreter does.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "lang/compiler.h"

namespace lv::bench {

// The objects of text, which must compile; a benchmark with a broken program stops at once.
inline lang::ObjectList compileOrAbort(const char* text) {
    lang::ObjectList objects;
    std::vector<lang::CompileError> errors;
    lang::compileProgram(text, objects, errors, {});
    if (!errors.empty()) {
        std::fprintf(stderr, "benchmark program: %d:%d: %s\n", errors[0].line, errors[0].column,
                     errors[0].message);
        std::abort();
    }
    return objects;
}

// x^2: 1 multiplied twice by v.
inline float sq(float v) { return 1.0f * v * v; }

inline float rIntersect(float l, float r) {
    const double L = l, R = r;
    return static_cast<float>(L + R - std::sqrt(std::fabs(L * L + R * R)));
}
inline float rUnite(float l, float r) {
    const double L = l, R = r;
    return static_cast<float>(L + R + std::sqrt(std::fabs(L * L + R * R)));
}
inline float rSubtract(float l, float r) {
    const double L = l, R = r;
    return static_cast<float>(L - R - std::sqrt(std::fabs(L * L + R * R)));
}

} // namespace lv::bench
