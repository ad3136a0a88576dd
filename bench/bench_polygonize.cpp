// Polygonizer speed on a sphere, a torus and a CSG solid at grids 25, 50, 100 and 200 cells per
// axis, with F written as native C++ and compiled from Lumovar text. The sample planes take
// 2 (n + 1)^2 doubles, so memory grows as the square of the grid; every one of the (n + 1)^3
// grid points is evaluated once, so time grows as its cube.
#include <benchmark/benchmark.h>

#include <cmath>

#include "bench/bench_support.h"
#include "eval/interpreter.h"
#include "export/polygonize_mesh.h"
#include "lang/compiler.h"
#include "polygonize/polygonizer.h"

namespace {

using namespace lv;
using bench::rIntersect;
using bench::rSubtract;
using bench::rUnite;
using bench::sq;

const char* const kProgram = R"(
sphere(x[3], a[0]) { sphere = 0.64 - x[1]^2 - x[2]^2 - x[3]^2; }

torus(x[3], a[0]) { torus = 0.0625 - (sqrt(x[1]^2 + x[2]^2) - 0.6)^2 - x[3]^2; }

csg(x[3], a[0]) {
  s1 = 0.64 - x[1]^2 - x[2]^2 - x[3]^2;
  s2 = 0.36 - (x[1] - 0.4)^2 - x[2]^2 - x[3]^2;
  b1 = 0.16 - x[1]^2;
  b2 = 0.16 - x[2]^2;
  c1 = 0.04 - x[1]^2 - x[3]^2;
  csg = ((s1 & s2) | (b1 & b2)) \ c1;
}
)";

float nativeSphere(float x, float y, float z) { return 0.64f - sq(x) - sq(y) - sq(z); }

float nativeTorus(float x, float y, float z) {
    const float q = std::sqrt(sq(x) + sq(y)) - 0.6f;
    return 0.0625f - sq(q) - sq(z);
}

float nativeCsg(float x, float y, float z) {
    const float s1 = 0.64f - sq(x) - sq(y) - sq(z);
    const float s2 = 0.36f - sq(x - 0.4f) - sq(y) - sq(z);
    const float b1 = 0.16f - sq(x);
    const float b2 = 0.16f - sq(y);
    const float c1 = 0.04f - sq(x) - sq(z);
    return rSubtract(rUnite(rIntersect(s1, s2), rIntersect(b1, b2)), c1);
}

const lang::ObjectList& program() {
    static const lang::ObjectList objects = bench::compileOrAbort(kProgram);
    return objects;
}

// A polygonizer run over [-1, 1]^3 with n cells per axis.
poly::PolygonizeRequest cubeRequest(int n) {
    poly::PolygonizeRequest r;
    r.xmin = r.ymin = r.zmin = -1.0;
    r.xmax = r.ymax = r.zmax = 1.0;
    r.nx = r.ny = r.nz = n;
    return r;
}

// Runs the polygonizer over [-1, 1]^3 with n cells per axis and reports evaluations per second,
// the bytes of the two sample planes and the polygons per run.
template <class Sampler> void run(benchmark::State& state, Sampler& sample) {
    const int n = static_cast<int>(state.range(0));
    long polygons = 0;
    auto emit = [&](const double*, const double*, const double*, int) { ++polygons; };
    poly::PolygonizeRequest r = cubeRequest(n);
    r.sample = sample;
    r.emit_polygon = emit;
    for (auto _ : state) {
        polygons = 0;
        poly::polygonize(r);
        benchmark::DoNotOptimize(polygons);
    }
    const double points = std::pow(n + 1.0, 3);
    state.counters["evals/s"] =
        benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["plane_bytes"] = 2.0 * (n + 1) * (n + 1) * sizeof(double);
    state.counters["polygons"] = static_cast<double>(polygons);
}

void native(benchmark::State& state, float (*f)(float, float, float)) { run(state, f); }

void interpreted(benchmark::State& state, const char* name) {
    bench::PointEval sample(*lang::findObject(program(), name));
    run(state, sample);
}

// The whole road of the mesh command: polygonize into a welded mesh, orient and split it.
void meshAndWeld(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    float (*f)(float, float, float) = nativeTorus;
    exporter::MeshGrid grid{-1.0, -1.0, -1.0, 1.0, 1.0, 1.0, n, n, n};
    for (auto _ : state) {
        exporter::IndexedMesh mesh = exporter::polygonizeToIndexedMesh(grid, f);
        benchmark::DoNotOptimize(mesh.faces.data());
    }
}

void grids(benchmark::internal::Benchmark* b) {
    for (int n : {25, 50, 100, 200}) {
        b->Arg(n);
    }
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK_CAPTURE(native, sphere, nativeSphere)->Apply(grids);
BENCHMARK_CAPTURE(native, torus, nativeTorus)->Apply(grids);
BENCHMARK_CAPTURE(native, csg, nativeCsg)->Apply(grids);
BENCHMARK_CAPTURE(interpreted, sphere, "sphere")->Apply(grids);
BENCHMARK_CAPTURE(interpreted, torus, "torus")->Apply(grids);
BENCHMARK_CAPTURE(interpreted, csg, "csg")->Apply(grids);
BENCHMARK(meshAndWeld)->Apply(grids);

} // namespace

BENCHMARK_MAIN();
