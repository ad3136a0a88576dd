// Pruned against plain polygonizing: point evaluations and processor time of
// examples/csg_part.lv at grids 50, 100 and 200 (box -10..10), and of a generated union of
// 700 boxes written as 8,400 min/max/subtraction/division clauses over x and y on a 1024 x 1024 plane,
// beside native C++ of the same expression evaluated at every grid point.
// Times are the thread's processor time (the machine is shared).
#include <benchmark/benchmark.h>

#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "lang/interpreter.h"
#include "lang/interval_primitives.h"
#include "model/eval_bound.h"
#include "model/model.h"
#include "polygonize/pruned_polygonizer.h"

namespace {

using namespace lv;

using bench::threadCpuMs;

struct Box {
    float a, b, c, d;
};

const std::vector<Box>& boxes() {
    static const std::vector<Box> all = [] {
        std::mt19937 rng(2024);
        // Multiples of 1/16: short decimals that the language reads exactly.
        std::uniform_int_distribution<int> at(-144, 128), size(1, 10);
        std::vector<Box> v(700);
        for (Box& b : v) {
            b.a = at(rng) / 16.0f, b.c = at(rng) / 16.0f;
            b.b = b.a + size(rng) / 16.0f, b.d = b.c + size(rng) / 16.0f;
        }
        return v;
    }();
    return all;
}

// A multiple of 1/16 as the language reads it exactly: a quotient of whole numbers.
std::string q(float v) {
    return "(" + std::to_string(static_cast<int>(v * 16.0f)) + " / 16)";
}

// The union of the boxes: f = max(f, min(min(x - a, b - x), min(y - c, d - y))) per box,
// 12 clauses each (the quotients included).
const lang::CompiledObject& unionOfBoxes() {
    static const lang::ObjectList objects = [] {
        std::ostringstream text;
        text.precision(9);
        text << "boxes(x[3], a[0]) {\n    f = -100;\n";
        for (const Box& b : boxes())
            text << "    f = max(f, min(min(x[1] - " << q(b.a) << ", " << q(b.b)
                 << " - x[1]), min(x[2] - " << q(b.c) << ", " << q(b.d) << " - x[2])));\n";
        text << "    boxes = f;\n}\n";
        return bench::compileOrAbort(text.str().c_str());
    }();
    return *lang::findObject(objects, "boxes");
}

// The same union natively, with the interpreter's float arithmetic and its min and max.
float mn(float p, float q) { return p <= q ? p : q; }
float mx(float p, float q) { return p >= q ? p : q; }

float nativeUnion(float x, float y) {
    float f = -100.0f;
    for (const Box& b : boxes()) f = mx(f, mn(mn(x - b.a, b.b - x), mn(y - b.c, b.d - y)));
    return f;
}

model::EvalSlot slotFor(const lang::CompiledObject& object) {
    model::EvalSlot slot;
    slot.object = lang::copyObject(object);
    slot.workspace.assign(static_cast<std::size_t>(object.workspaceSize()) + 1, 0.0f);
    slot.flags.assign(slot.workspace.size(), 1);
    slot.xIndex = 0, slot.yIndex = 1, slot.zIndex = 2;
    return slot;
}

// Polygonizes object over the box with n x n x nz cells, pruned or not.
void run(benchmark::State& state, const lang::CompiledObject& object, double half, int n,
         int nz, bool prune) {
    model::EvalSlot slot = slotFor(object);
    long long evaluations = 0, polygons = 0;
    double ms = 0;
    for (auto _ : state) {
        auto sample = [&](float x, float y, float z) {
            ++evaluations;
            return model::evaluateAt(slot, x, y, z);
        };
        auto bound = [&](const float lo[3], const float hi[3]) {
            lang::Interval range;
            if (!model::boundAt(slot, lo, hi, range)) return poly::ValueBound{};
            return poly::ValueBound{range.lo, range.hi, true};
        };
        auto emit = [&](const double*, const double*, const double*, int) { ++polygons; };
        poly::PolygonizeRequest r;
        r.xmin = r.ymin = r.zmin = -half;
        r.xmax = r.ymax = r.zmax = half;
        r.nx = r.ny = n, r.nz = nz;
        r.sample = sample;
        r.emit_polygon = emit;
        const double start = threadCpuMs();
        if (prune) poly::polygonizePruned(r, bound);
        else poly::polygonize(r);
        ms += threadCpuMs() - start;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["evaluations"] = static_cast<double>(evaluations) / runs;
    state.counters["polygons"] = static_cast<double>(polygons) / runs;
    state.counters["cpu_ms"] = ms / runs;
}

void csgPart(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    run(state, bench::csgPart(), 10.0, n, n, state.range(1) != 0);
}
BENCHMARK(csgPart)->ArgsProduct({{50, 100, 200}, {0, 1}})->ArgNames({"grid", "prune"})
    ->Unit(benchmark::kMillisecond)->Iterations(1);

void boxesPlane(benchmark::State& state) {
    run(state, unionOfBoxes(), 10.0, 1024, 1, state.range(0) != 0);
}
BENCHMARK(boxesPlane)->Arg(0)->Arg(1)->ArgName("prune")->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Native baseline: the expression at every point of the two planes of the 1024 x 1024 grid.
void boxesPlaneNative(benchmark::State& state) {
    double ms = 0;
    for (auto _ : state) {
        const double start = threadCpuMs();
        float sink = 0.0f;
        const double d = 20.0 / 1024;
        for (int plane = 0; plane < 2; ++plane) {
            double y = -10.0;
            for (int j = 0; j <= 1024; ++j, y += d) {
                double x = -10.0;
                for (int k = 0; k <= 1024; ++k, x += d)
                    sink += nativeUnion(static_cast<float>(x), static_cast<float>(y));
            }
        }
        benchmark::DoNotOptimize(sink);
        ms += threadCpuMs() - start;
    }
    state.counters["evaluations"] = 2.0 * 1025 * 1025;
    state.counters["cpu_ms"] = ms / static_cast<double>(state.iterations());
}
BENCHMARK(boxesPlaneNative)->Unit(benchmark::kMillisecond)->Iterations(1);

// Examples built on the other primitive families, each called with fixed parameters from a
// wrapper object: the metaball droplets, the Gaussian molecule, the convolution figure (with
// segment bounds switched on), the twisted and tapered bar and the B-spline column.
struct FamilyCase {
    const char* file;
    const char* call; // the wrapper's body
    double half;      // half the side of the box
};
constexpr FamilyCase kFamilies[] = {
    {"blobs.lv", "array t[1]; t = [0.2]; w = droplets(x, t);", 4.0},
    {"blobs.lv", "w = molecule(x, a);", 4.0},
    {"skeleton.lv", "array t[1]; t = [0.5]; w = figure(x, t);", 5.0},
    {"twisted_taper.lv", "w = bar(x, a);", 3.0},
    {"bspline.lv", "w = column(x, a);", 4.0},
};

const lang::CompiledObject& familyObject(int index) {
    static std::vector<lang::ObjectList> compiled(std::size(kFamilies));
    lang::ObjectList& objects = compiled[static_cast<std::size_t>(index)];
    if (objects.empty()) {
        const FamilyCase& c = kFamilies[index];
        std::ostringstream path, text;
        path << LV_SOURCE_DIR "/examples/" << c.file;
        std::ifstream in(path.str());
        text << in.rdbuf() << "\nw(x[3], a[0]) {\n    " << c.call << "\n}\n";
        objects = bench::compileOrAbort(text.str().c_str());
    }
    return *lang::findObject(objects, "w");
}

void families(benchmark::State& state) {
    const int index = static_cast<int>(state.range(0)), n = static_cast<int>(state.range(1));
    state.SetLabel(kFamilies[index].call);
    lang::setConvolutionBounds(true);
    run(state, familyObject(index), kFamilies[index].half, n, n, state.range(2) != 0);
    lang::setConvolutionBounds(false);
}
BENCHMARK(families)->ArgsProduct({{0, 1, 2, 3, 4}, {50, 100, 200}, {0, 1}})
    ->ArgNames({"example", "grid", "prune"})->Unit(benchmark::kMillisecond)->Iterations(1);

// The native expression and the interpreted one agree at sample points (else the comparison
// would be meaningless): checked once before the benchmarks run.
const bool agreed = [] {
    const lang::CompiledObject& o = unionOfBoxes();
    lang::Workspace ws(o);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> at(-10.0f, 10.0f);
    for (int i = 0; i < 1000; ++i) {
        const float x = at(rng), y = at(rng);
        ws.values[0] = x, ws.values[1] = y, ws.values[2] = 0.0f;
        float v = 0.0f;
        lang::RuntimeError error;
        lang::executeObject(o, ws.values.data(), ws.flags.data(), v, error);
        if (v != nativeUnion(x, y)) {
            std::fprintf(stderr, "native and interpreted union differ at (%g, %g): %.9g %.9g (%d)\n", x, y, v, nativeUnion(x, y), error.line);
            std::abort();
        }
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
