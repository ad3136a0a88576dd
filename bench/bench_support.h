#pragma once
// What the benchmark programs share: compiling their Lumovar text, the bundled CSG part, F at
// single points, the thread's processor time, and native versions of the language's x^2 and set
// operations (ALPHA = 0) that compute exactly what the interpreter does.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "eval/interpreter.h"
#include "lang/compiler.h"

namespace lv::bench {

// The object "csg": two overlapping balls in common, with a square bar through them, less a
// cylinder; program text that benchmarks put among their own objects.
inline constexpr const char* kCsgObject = R"(csg(x[3], a[0]) {
  s1 = 4 - x[1]^2 - x[2]^2 - x[3]^2;
  s2 = 2.25 - (x[1] - 1)^2 - x[2]^2 - x[3]^2;
  b1 = 1 - x[1]^2;
  b2 = 1 - x[2]^2;
  c1 = 0.25 - x[1]^2 - x[3]^2;
  csg = ((s1 & s2) | (b1 & b2)) \ c1;
}
)";

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

// The object "part" of examples/csg_part.lv, compiled once.
inline const lang::CompiledObject& csgPart() {
    static const lang::ObjectList objects = [] {
        std::ifstream in(LV_SOURCE_DIR "/examples/csg_part.lv");
        std::ostringstream text;
        text << in.rdbuf();
        return compileOrAbort(text.str().c_str());
    }();
    return *lang::findObject(objects, "part");
}

// F of one object at single points through executeObject, in a workspace of its own.
class PointEval {
public:
    explicit PointEval(const lang::CompiledObject& object) : object_(object), ws_(object) {}
    float operator()(float x, float y, float z) {
        ws_.values[0] = x;
        ws_.values[1] = y;
        ws_.values[2] = z;
        float result = 0.0f;
        lang::RuntimeError error;
        eval::executeObject(object_, ws_.values.data(), ws_.flags.data(), result, error);
        return result;
    }

private:
    const lang::CompiledObject& object_;
    eval::Workspace ws_;
};

// This thread's processor time in milliseconds: figures that hold on a machine that other work
// keeps busy.
inline double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec * 1e-6;
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
