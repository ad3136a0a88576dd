// Compiling programs of many one-line objects, as `lumovar check` does: the time per object
// must stay flat from 10,000 objects (the baseline) to 100,000 and 200,000.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"

namespace {

// count one-line objects; every object after the first calls the first, so each compile also
// looks a name up among all the objects before it.
std::string manyObjects(int count) {
    std::string text = "o0(x[3], a[0]) { o0 = 1 - x[1]^2; }\n";
    for (int i = 1; i < count; ++i) {
        std::string name = "o" + std::to_string(i);
        text += name + "(x[3], a[0]) { " + name + " = o0(x, a) - " + std::to_string(i % 7) +
                "; }\n";
    }
    return text;
}

void BM_CheckObjects(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::string text = manyObjects(count);
    for (auto _ : state) {
        lv::lang::ObjectList objects = lv::bench::compileOrAbort(text.c_str());
        if (static_cast<int>(objects.size()) != count) state.SkipWithError("objects missing");
        benchmark::DoNotOptimize(objects.data());
    }
    state.counters["per_object"] = benchmark::Counter(
        static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                        benchmark::Counter::kInvert);
}
BENCHMARK(BM_CheckObjects)->Arg(10000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
