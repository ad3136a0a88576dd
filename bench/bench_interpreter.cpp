// Interpreter speed: executeObject (one point) and executeBatch (a block of points) on
// representative programs, each beside the same function written as native C++ (single
// precision after every operation, as the language computes). Times are per point.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "eval/batch_interpreter.h"
#include "eval/interpreter.h"
#include "lang/compiler.h"

namespace {

using namespace lv::eval;
using namespace lv::lang;
using lv::bench::rIntersect;
using lv::bench::rSubtract;
using lv::bench::rUnite;
using lv::bench::sq;

const std::string kProgram = R"(
ball(x[3], a[0]) { ball = 4 - x[1]^2 - x[2]^2 - x[3]^2; }

)" + std::string(lv::bench::kCsgObject) + R"(
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

// The large program: the union (max) of kShapes discs and rectangles over x[1], x[2], eight
// clauses of + - * min max sqrt each.
constexpr int kShapes = 700;

// Every constant is a short decimal written into the text and read back with strtof, so that
// the native function holds exactly the numbers the compiler reads.
struct Shape {
    std::string text[4]; // disc: centre, centre, radius; rectangle: x0, x1, y0, y1
    float value[4];
};

std::string hundredths(int n) {
    char s[32];
    std::snprintf(s, sizeof s, "%s%d.%02d", n < 0 ? "-" : "", std::abs(n) / 100, std::abs(n) % 100);
    return s;
}

Shape shapeAt(int i) {
    auto at = [i](int k) { return (i * 37 + k * 11) % 101 * 5 - 250; };
    const int size = 10 + 5 * (i % 7);
    const int n[4] = {at(1), i % 2 == 0 ? at(2) : at(1) + 4 * size, i % 2 == 0 ? size : at(2),
                      at(2) + 4 * size};
    Shape s;
    for (int k = 0; k < 4; ++k) {
        s.text[k] = hundredths(n[k]);
        s.value[k] = std::strtof(s.text[k].c_str(), nullptr);
    }
    return s;
}

std::string largeProgram() {
    std::string text = "large(x[3], a[0]) {\n  f = -1000;\n";
    for (int i = 0; i < kShapes; ++i) {
        Shape s = shapeAt(i);
        const std::string* t = s.text;
        if (i % 2 == 0)
            text += "  f = max(f, " + t[2] + " - sqrt((x[1] - (" + t[0] + ")) * (x[1] - (" + t[0] +
                    ")) + (x[2] - (" + t[1] + ")) * (x[2] - (" + t[1] + "))));\n";
        else
            text += "  f = max(f, min(min(x[1] - (" + t[0] + "), (" + t[1] + ") - x[1]), min(x[2] - (" +
                    t[2] + "), (" + t[3] + ") - x[2])));\n";
    }
    return text + "  large = f;\n}\n";
}

float nativeLarge(const float* x) {
    static const std::vector<Shape> shapes = [] {
        std::vector<Shape> v;
        for (int i = 0; i < kShapes; ++i) v.push_back(shapeAt(i));
        return v;
    }();
    auto mx = [](float p, float q) { return p >= q ? p : q; };
    auto mn = [](float p, float q) { return p <= q ? p : q; };
    float f = -1000.0f;
    for (int i = 0; i < kShapes; ++i) {
        const Shape& s = shapes[static_cast<std::size_t>(i)];
        const float* v = s.value;
        if (i % 2 == 0) {
            float dx = x[0] - v[0], dy = x[1] - v[1];
            f = mx(f, v[2] - static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy))));
        } else {
            f = mx(f, mn(mn(x[0] - v[0], v[1] - x[0]), mn(x[1] - v[2], v[3] - x[1])));
        }
    }
    return f;
}

const ObjectList& program() {
    static const ObjectList objects = [] {
        ObjectList all = lv::bench::compileOrAbort(kProgram.c_str());
        ObjectList large = lv::bench::compileOrAbort(largeProgram().c_str());
        all.insert(all.end(), large.begin(), large.end());
        return all;
    }();
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

// A block of points per iteration; the reporter divides by the block's size.
void batched(benchmark::State& state, const char* name) {
    const CompiledObject& o = *findObject(program(), name);
    BatchWorkspace ws(o);
    const int n = ws.points();
    Points p;
    float results[kMaxBatchPoints];
    std::uint8_t ok[kMaxBatchPoints];
    RuntimeError errors[kMaxBatchPoints];
    for (auto _ : state) {
        for (int k = 0; k < n; ++k) {
            float x[3];
            p.next(x);
            for (int i = 0; i < 3; ++i) ws.input(i)[k] = x[i];
        }
        executeBatch(ws, n, results, ok, errors);
        benchmark::DoNotOptimize(results);
    }
    state.counters["points"] = n;
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
BENCHMARK_CAPTURE(batched, ball, "ball");
BENCHMARK_CAPTURE(native, ball, nativeBall);
BENCHMARK_CAPTURE(interpreted, csg, "csg");
BENCHMARK_CAPTURE(batched, csg, "csg");
BENCHMARK_CAPTURE(native, csg, nativeCsg);
BENCHMARK_CAPTURE(interpreted, loops, "loops");
BENCHMARK_CAPTURE(batched, loops, "loops");
BENCHMARK_CAPTURE(native, loops, nativeLoops);
BENCHMARK_CAPTURE(interpreted, large, "large");
BENCHMARK_CAPTURE(batched, large, "large");
BENCHMARK_CAPTURE(native, large, nativeLarge);

// Prints each interpreter/native pair's ratio after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            double t = r.GetAdjustedCPUTime(); // the machine may be shared: CPU time
            auto points = r.counters.find("points");
            if (points != r.counters.end()) t /= points->second.value;
            times_[r.run_name.function_name] = t;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nCPU time per point (median of repetitions when repeated)\n%-8s %12s %12s %12s"
                    " %9s %9s\n",
                    "program", "one ns", "batch ns", "native ns", "one/nat", "batch/nat");
        for (const char* p : {"ball", "csg", "loops", "large"}) {
            double i = times_["interpreted/" + std::string(p)];
            double b = times_["batched/" + std::string(p)];
            double n = times_["native/" + std::string(p)];
            if (i > 0 && b > 0 && n > 0)
                std::printf("%-8s %12.2f %12.2f %12.2f %8.2fx %8.2fx\n", p, i, b, n, i / n,
                            b / n);
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
        {"ball", nativeBall}, {"csg", nativeCsg}, {"loops", nativeLoops}, {"large", nativeLarge}};
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
