// The phases of `lumovar mesh examples/csg_part.lv part --grid N,N,N -o OUT.stl` (default box
// -10..10) at grids 100 and 200: evaluating F at every grid point (the baseline: F alone, in the
// polygonizer's order), polygonizing, welding, orientation and writing, each in milliseconds,
// with the share of the run spent outside evaluating F and the bytes held per output polygon.
// Times are the thread's processor time; polygonizing and welding are what a run with them
// takes beyond the run before it.
#include <benchmark/benchmark.h>

#include <ctime>
#include <cstdio>
#include <unistd.h>

#include "bench/bench_support.h"
#include "eval/interpreter.h"
#include "export/grid_mesh.h"
#include "export/mesh_files.h"
#include "export/mesh_orient.h"
#include "polygonize/polygonizer.h"

namespace {

using namespace lv;

// This thread's processor time: the figures hold on a machine that other work keeps busy.
struct Clock {
    using time_point = double;
    static double now() { return bench::threadCpuMs(); }
};

double msSince(double start) { return Clock::now() - start; }

poly::PolygonizeRequest requestFor(const exporter::MeshGrid& g) {
    poly::PolygonizeRequest r;
    r.xmin = g.xmin, r.ymin = g.ymin, r.zmin = g.zmin;
    r.xmax = g.xmax, r.ymax = g.ymax, r.zmax = g.zmax;
    r.nx = g.nx, r.ny = g.ny, r.nz = g.nz;
    return r;
}

void meshPhases(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    bench::PointEval f(bench::csgPart());
    const exporter::MeshGrid grid{-10.0, -10.0, -10.0, 10.0, 10.0, 10.0, n, n, n};
    const std::string out = "/tmp/lv_bench_mesh_" + std::to_string(getpid()) + ".stl";
    double eval = 0, polygonize = 0, weld = 0, orient = 0, write = 0;
    std::size_t polygons = 0, peak = 0, orientBytes = 0;
    for (auto _ : state) {
        // F alone at every grid point, in the polygonizer's order and arithmetic.
        auto start = Clock::now();
        float sink = 0;
        double z = grid.zmin;
        const double d = (grid.xmax - grid.xmin) / n;
        for (int i = 0; i <= n; ++i, z += d) {
            double y = grid.ymin;
            for (int j = 0; j <= n; ++j, y += d) {
                double x = grid.xmin;
                for (int k = 0; k <= n; ++k, x += d) {
                    sink += f(float(x), float(y), float(z));
                }
            }
        }
        benchmark::DoNotOptimize(sink);
        eval = msSince(start);

        start = Clock::now();
        long emitted = 0;
        auto count = [&](const double*, const double*, const double*, int) { ++emitted; };
        poly::PolygonizeRequest r = requestFor(grid);
        r.sample = f;
        r.emit_polygon = count;
        poly::polygonize(r);
        polygonize = msSince(start) - eval;

        start = Clock::now();
        exporter::GridWelder welder(grid);
        r.emit_polygon = welder;
        poly::polygonize(r);
        exporter::GridWeldStats stats;
        exporter::IndexedMesh mesh = welder.finish(&stats);
        weld = msSince(start) - eval - polygonize;
        polygons = stats.polygons;
        peak = stats.peakBytes;

        start = Clock::now();
        const exporter::VertexFaces around(mesh);
        exporter::orientOutward(mesh, around, f);
        exporter::chooseDiagonals(mesh, around);
        orient = msSince(start);
        orientBytes = mesh.faces.capacity() * sizeof(mesh.faces[0]) +
                      mesh.vertices.capacity() * sizeof(mesh.vertices[0]) +
                      (around.first.capacity() + around.faces.capacity()) * 4 +
                      mesh.faces.size() * 5; // flip marks and the patch queue

        start = Clock::now();
        std::vector<exporter::MeshPart> parts(1);
        parts[0].name = "part";
        parts[0].mesh = std::move(mesh);
        std::string error;
        if (!exporter::writeMeshFile(out, parts, error)) {
            state.SkipWithError(error.c_str());
        }
        write = msSince(start);
        std::remove(out.c_str());
    }
    const double total = eval + polygonize + weld + orient + write;
    state.counters["eval_ms"] = eval;
    state.counters["polygonize_ms"] = polygonize;
    state.counters["weld_ms"] = weld;
    state.counters["orient_ms"] = orient;
    state.counters["write_ms"] = write;
    state.counters["outside_eval_%"] = 100.0 * (total - eval) / total;
    state.counters["polygons"] = static_cast<double>(polygons);
    state.counters["weld_bytes/poly"] = polygons ? double(peak) / polygons : 0;
    state.counters["orient_bytes/poly"] = polygons ? double(orientBytes) / polygons : 0;
}

BENCHMARK(meshPhases)->Arg(100)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
