// Interpreter speed: executeObject on representative programs, each beside the same function
// written as native C++ (single precision after every operation, as the language computes).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "bench/bench_support.h"
#include "lang/compiler.h"
#include "lang/interpreter.h"

namespace {

using namespace lv::lang;
using lv::bench::rIntersect;
using lv::bench::rSubtract;
using lv::bench::rUnite;
using lv::bench::sq;

const char* const kProgram = R"(
ball(x[3], a[0]) { ball = 4 - x[1]^2 - x[2]^2 - x[3]^2; }

csg(x[3], a[0]) {
  s1 = 4 - x[1]^2 - x[2]^2 - x[3]^2;
  s2 = 2.25 - (x[1] - 1)^2 - x[2]^2 - x[3]^2;
  b1 = 1 - x[1]^2;
  b2 = 1 - x[2]^2;
  c1 = 0.25 - x[1]^2 - x[3]^2;
  csg = ((s1 & s2) | (b1 & b2)) \ c1;
}

weight(x[3], a[1]) { weight = a[1] * (x[1] - x[2]); }

loops(x[3], a[0]) {
  array w[4], c[1];
  w = [1, 0.5, 0.25, 0.125];
  c = [2];
  i = 1;
  s = 0;
  while i <= 4 loop
    s = s + w[i] * x[mod(i, 2) + 1] * x[3];
    i = i + 1;
  endloop;
  loops = s + weight(x, c);
}
)";

float nativeBall(const float* x) { return 4.0f - sq(x[0]) - sq(x[1]) - sq(x[2]); }

float nativeCsg(const float* x) {
    float s1 = 4.0f - sq(x[0]) - sq(x[1]) - sq(x[2]);
    float s2 = 2.25f - sq(x[0] - 1.0f) - sq(x[1]) - sq(x[2]);
    float b1 = 1.0f - sq(x[0]);
    float b2 = 1.0f - sq(x[1]);
    float c1 = 0.25f - sq(x[0]) - sq(x[2]);
    return rSubtract(rUnite(rIntersect(s1, s2), rIntersect(b1, b2)), c1);
}

float nativeWeight(const float* x, float a) { return a * (x[0] - x[1]); }

float nativeLoops(const float* x) {
    const float w[4] = {1.0f, 0.5f, 0.25f, 0.125f};
    float s = 0.0f;
    for (int i = 1; i <= 4; ++i) s = s + w[i - 1] * x[(i / 2) + 1 - 1] * x[2];
    return s + nativeWeight(x, 2.0f);
}

const ObjectList& program() {
    static const ObjectList objects = lv::bench::compileOrAbort(kProgram);
    return objects;
}

// Points on a small grid, so that no two consecutive evaluations are alike.
struct Points {
    int k = 0;
    void next(float* x) {
        k = (k + 1) % 1000;
        x[0] = -2.0f + 0.004f * static_cast<float>(k);
        x[1] = 1.5f - 0.003f * static_cast<float>(k % 97);
        x[2] = 0.25f + 0.002f * static_cast<float>(k % 13);
    }
};

void interpreted(benchmark::State& state, const char* name) {
    const CompiledObject& o = *findObject(program(), name);
    Workspace ws(o);
    Points p;
    for (auto _ : state) {
        p.next(ws.values.data());
        float r = 0.0f;
        RuntimeError e;
        executeObject(o, ws.values.data(), ws.flags.data(), r, e);
        benchmark::DoNotOptimize(r);
    }
}

void native(benchmark::State& state, float (*f)(const float*)) {
    float x[3];
    Points p;
    for (auto _ : state) {
        p.next(x);
        benchmark::DoNotOptimize(x);
        float r = f(x);
        benchmark::DoNotOptimize(r);
    }
}

BENCHMARK_CAPTURE(interpreted, ball, "ball");
BENCHMARK_CAPTURE(native, ball, nativeBall);
BENCHMARK_CAPTURE(interpreted, csg, "csg");
BENCHMARK_CAPTURE(native, csg, nativeCsg);
BENCHMARK_CAPTURE(interpreted, loops, "loops");
BENCHMARK_CAPTURE(native, loops, nativeLoops);

// Prints each interpreter/native pair's ratio after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-8s %14s %14s %8s\n", "program", "interpreter ns", "native ns", "ratio");
        for (const char* p : {"ball", "csg", "loops"}) {
            double i = times_["interpreted/" + std::string(p)];
            double n = times_["native/" + std::string(p)];
            if (i > 0 && n > 0) std::printf("%-8s %14.1f %14.1f %7.1fx\n", p, i, n, i / n);
        }
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    // Both sides must compute the same values, or the comparison means nothing.
    using Native = float (*)(const float*);
    const std::pair<const char*, Native> pairs[] = {
        {"ball", nativeBall}, {"csg", nativeCsg}, {"loops", nativeLoops}};
    for (auto [name, f] : pairs) {
        const CompiledObject& o = *findObject(program(), name);
        Workspace ws(o);
        Points p;
        float x[3];
        p.next(x);
        std::copy(x, x + 3, ws.values.begin());
        float r = 0.0f;
        RuntimeError e;
        if (o.aSize > 0) ws.values[3] = 0.0f;
        if (executeObject(o, ws.values.data(), ws.flags.data(), r, e) != 1 || r != f(x)) {
            std::fprintf(stderr, "%s: interpreter %.9g, native %.9g\n", name, r, f(x));
            return 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
