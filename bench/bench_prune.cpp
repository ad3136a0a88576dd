// Pruned against plain polygonizing, both sampling through the batched grid sampler on 1 and 2
// threads as the mesh export and the renderer do: point evaluations, bounds and wall time of
// examples/csg_part.lv at grids 50, 100 and 200 (box -10..10), of the convolution figure of
// examples/skeleton.lv at grid 100 (box -4..4), and of a generated union of 640 boxes and discs
// (5,422 min/max/arithmetic clauses over x and y) on a 1024 x 1024 plane, beside native C++
// compiled from the same generated expression and evaluated at every point of that plane; and
// the examples of the other primitive families at grids 50, 100 and 200 on one thread.
// Wall time, since the sampler runs on several threads; the machine is shared, so compare rows
// of one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "lang/interval_primitives.h"
#include "model/grid_sampler.h"
#include "model/model.h"
#include "polygonize/pruned_polygonizer.h"
#include "union_expression.h"

namespace {

using namespace lv;

double wallMs() {
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const lang::CompiledObject& objectFrom(const char* path, const char* name) {
    static std::deque<lang::ObjectList> kept; // the objects stay where they are
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    kept.push_back(bench::compileOrAbort(text.str().c_str()));
    return *lang::findObject(kept.back(), name);
}

const lang::CompiledObject& figure() {
    static const lang::CompiledObject& o =
        objectFrom(LV_SOURCE_DIR "/examples/skeleton.lv", "figure");
    return o;
}

const lang::CompiledObject& shapes() {
    static const lang::CompiledObject& o = objectFrom(LV_EXPRESSION_LV, "shapes");
    return o;
}

// A slot for object with X, Y, Z on x[1..3] and the a values given.
model::EvalSlot slotFor(const lang::CompiledObject& object, std::vector<float> a = {}) {
    model::EvalSlot slot;
    slot.object = lang::copyObject(object);
    slot.workspace.assign(static_cast<std::size_t>(object.workspaceSize()) + 1, 0.0f);
    slot.flags.assign(slot.workspace.size(), 1);
    slot.inputs.assign(3, 0.0f);
    slot.inputs.insert(slot.inputs.end(), a.begin(), a.end());
    std::copy(slot.inputs.begin(), slot.inputs.end(), slot.workspace.begin());
    slot.xIndex = 0, slot.yIndex = 1, slot.zIndex = 2;
    return slot;
}

// Polygonizes object over the cube [-half, half] with n x n x nz cells, pruned or not, sampling
// through a grid sampler on threads threads.
void run(benchmark::State& state, const lang::CompiledObject& object, std::vector<float> a,
         double half, int n, int nz, bool prune, int threads) {
    model::EvalSlot slot = slotFor(object, std::move(a));
    model::GridSampler sampler(slot, threads);
    long long polygons = 0;
    poly::PruneStats stats;
    double ms = 0;
    for (auto _ : state) {
        auto block = [&](const poly::SampleBlock& b) { sampler.sample(b); };
        auto bound = [&](const float lo[3], const float hi[3]) {
            return sampler.valueBound(lo, hi);
        };
        auto emit = [&](const double*, const double*, const double*, int) { ++polygons; };
        poly::PolygonizeRequest r;
        r.xmin = r.ymin = r.zmin = -half;
        r.xmax = r.ymax = r.zmax = half;
        r.nx = r.ny = n, r.nz = nz;
        r.sample_block = block;
        r.emit_polygon = emit;
        poly::BoundFn bounds;
        if (prune) bounds = bound;
        const double start = wallMs();
        poly::polygonizePruned(r, bounds, {}, &stats);
        ms += wallMs() - start;
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["evaluations"] = static_cast<double>(stats.evaluated) / runs;
    state.counters["bounds"] = static_cast<double>(stats.bounds) / runs;
    state.counters["polygons"] = static_cast<double>(polygons) / runs;
    state.counters["wall_ms"] = ms / runs;
    if (slot.failures > 0) state.SkipWithError("sample points failed");
}

void csgPart(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    run(state, bench::csgPart(), {}, 10.0, n, n, state.range(1) != 0,
        static_cast<int>(state.range(2)));
}
BENCHMARK(csgPart)
    ->ArgsProduct({{50, 100, 200}, {0, 1}, {1, 2}})
    ->ArgNames({"grid", "prune", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Pruned with the bounds of the convolution fields switched on (they are off by default).
void convolutionFigure(benchmark::State& state) {
    const bool prune = state.range(0) != 0;
    lang::setConvolutionBounds(prune);
    run(state, figure(), {0.5f}, 4.0, 100, 100, prune, static_cast<int>(state.range(1)));
    lang::setConvolutionBounds(false);
}
BENCHMARK(convolutionFigure)
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->ArgNames({"prune", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void shapesPlane(benchmark::State& state) {
    run(state, shapes(), {}, 10.0, 1024, 1, state.range(0) != 0,
        static_cast<int>(state.range(1)));
}
BENCHMARK(shapesPlane)
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->ArgNames({"prune", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Examples built on the other primitive families, each called with fixed parameters from a
// wrapper object: the metaball droplets, the Gaussian molecule, the convolution figure, the
// twisted and tapered bar, the B-spline column, the space-mapped torus, the roughened
// superellipsoid and the tent of convolution triangles (convolution bounds switched on).
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
    {"space_map.lv", "w = warped(x, a);", 4.0},
    {"superellipsoid.lv", "array t[2]; t = [0.5, 0.8]; w = rough(x, t);", 2.0},
    {"skeleton.lv", "w = tent(x, a);", 5.0},
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
    run(state, familyObject(index), {}, kFamilies[index].half, n, n, state.range(2) != 0, 1);
    lang::setConvolutionBounds(false);
}
BENCHMARK(families)->ArgsProduct({{0, 1, 2, 3, 4, 5, 6, 7}, {50, 100, 200}, {0, 1}})
    ->ArgNames({"example", "grid", "prune"})->Unit(benchmark::kMillisecond)->Iterations(1);

// Native baseline on one thread: the generated C++ at every point of the two planes of the
// 1024 x 1024 grid, at the floats the polygonizer samples.
void shapesPlaneNative(benchmark::State& state) {
    double ms = 0;
    for (auto _ : state) {
        const double start = wallMs();
        float sink = 0.0f;
        const double d = 20.0 / 1024;
        for (int plane = 0; plane < 2; ++plane) {
            double y = -10.0;
            for (int j = 0; j <= 1024; ++j, y += d) {
                double x = -10.0;
                for (int k = 0; k <= 1024; ++k, x += d)
                    sink += bench::generated::nativeShapes(static_cast<float>(x),
                                                           static_cast<float>(y));
            }
        }
        benchmark::DoNotOptimize(sink);
        ms += wallMs() - start;
    }
    state.counters["evaluations"] = 2.0 * 1025 * 1025;
    state.counters["wall_ms"] = ms / static_cast<double>(state.iterations());
}
BENCHMARK(shapesPlaneNative)->Unit(benchmark::kMillisecond)->Iterations(1);

// The native expression and the interpreted one give the same floats (else the comparison
// would be meaningless): checked once before the benchmarks run.
const bool agreed = [] {
    model::EvalSlot slot = slotFor(shapes());
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> at(-10.0f, 10.0f);
    for (int i = 0; i < 2000; ++i) {
        const float x = at(rng), y = at(rng);
        const float interpreted = model::evaluateAt(slot, x, y, 0.0f);
        const float native = bench::generated::nativeShapes(x, y);
        if (interpreted != native || slot.failures > 0) {
            std::fprintf(stderr, "native and interpreted differ at (%g, %g): %.9g %.9g\n", x,
                         y, interpreted, native);
            std::abort();
        }
    }
    return true;
}();

} // namespace

BENCHMARK_MAIN();
