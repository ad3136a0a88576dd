// Sampling speed: whole planes of 201 x 201 grid points through the grid sampler (batched
// evaluation, split over threads) beside the same points one at a time through evaluateAt.
// Wall-clock time: threads only pay off in elapsed time.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "model/grid_sampler.h"

namespace {

using namespace lv;

const std::string kProgram = R"(
)" + std::string(bench::kCsgObject) + R"(
part(x[3], a[0]) {
    array corner[3], cut[3], axis[3], h1[3], h2[3], h3[3], h4[3];
    corner = [-4, -3, -1];
    cut = [-2, -2, -1];
    axis = [0, 0, 0];
    h1 = [2.8, 1.8, 0];
    h2 = [-2.8, 1.8, 0];
    h3 = [-2.8, -1.8, 0];
    h4 = [2.8, -1.8, 0];
    plate = lvblock(x, corner, 8, 6, 2);
    boss = lvcylinderz(x, axis, 1.5) & lvblock(x, cut, 4, 4, 3.5);
    holes = lvcylinderz(x, h1, 0.6) | lvcylinderz(x, h2, 0.6) | lvcylinderz(x, h3, 0.6)
        | lvcylinderz(x, h4, 0.6);
    part = (plate | boss) \ holes;
}

small(x[3], a[0]) {
  array m[1];
  m[1] = x[1];
  small = 1 - m[1]^2 - x[2]^2 - x[3]^2;
}

big(x[3], a[0]) {
  array m[1000000];
  m[1] = x[1];
  big = 1 - m[1]^2 - x[2]^2 - x[3]^2;
}
)";

constexpr int kSide = 201;

model::EvalSlot slotOf(const char* name) {
    static const lang::ObjectList objects = bench::compileOrAbort(kProgram.c_str());
    model::EvalSlot slot;
    slot.object = lang::findObject(objects, name);
    const std::size_t size = static_cast<std::size_t>(slot.object->workspaceSize()) + 1;
    slot.workspace.assign(size, 0.0f);
    slot.flags.assign(size, 1);
    slot.inputs.assign(3, 0.0f);
    slot.xIndex = 0, slot.yIndex = 1, slot.zIndex = 2;
    return slot;
}

std::vector<float> axis(float from, float to) {
    std::vector<float> v(kSide);
    for (int i = 0; i < kSide; ++i) v[static_cast<std::size_t>(i)] = from + (to - from) * i / (kSide - 1);
    return v;
}

// One plane per iteration; the argument is the thread count.
void grid(benchmark::State& state, const char* name) {
    model::EvalSlot slot = slotOf(name);
    model::GridSampler sampler(slot, static_cast<int>(state.range(0)));
    const std::vector<float> xs = axis(-5, 5), ys = axis(-4, 4);
    std::vector<float> values(xs.size() * ys.size());
    float z = -1.5f;
    for (auto _ : state) {
        sampler.sample(xs.data(), kSide, ys.data(), kSide, &z, 1, values.data());
        benchmark::DoNotOptimize(values.data());
        z = z > 1.5f ? -1.5f : z + 0.01f;
    }
    state.counters["points/s"] = benchmark::Counter(static_cast<double>(kSide) * kSide,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

void pointByPoint(benchmark::State& state, const char* name) {
    model::EvalSlot slot = slotOf(name);
    const std::vector<float> xs = axis(-5, 5), ys = axis(-4, 4);
    std::vector<float> values(xs.size() * ys.size());
    float z = -1.5f;
    for (auto _ : state) {
        for (int r = 0, i = 0; r < kSide; ++r)
            for (int c = 0; c < kSide; ++c, ++i)
                values[static_cast<std::size_t>(i)] =
                    model::evaluateAt(slot, xs[static_cast<std::size_t>(c)],
                                      ys[static_cast<std::size_t>(r)], z);
        benchmark::DoNotOptimize(values.data());
        z = z > 1.5f ? -1.5f : z + 0.01f;
    }
    state.counters["points/s"] = benchmark::Counter(static_cast<double>(kSide) * kSide,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

// The grid-25 samples (26^3 points) of an object with a million slots and of one with one slot:
// the cost must not grow with slots the code never reads.
void grid25(benchmark::State& state, const char* name) {
    model::EvalSlot slot = slotOf(name);
    const bool batched = state.range(0) != 0;
    model::GridSampler sampler(slot, 1);
    std::vector<float> xs(26);
    for (int i = 0; i < 26; ++i) xs[static_cast<std::size_t>(i)] = -1.25f + 0.1f * i;
    std::vector<float> values(26 * 26 * 26);
    for (auto _ : state) {
        if (batched) {
            sampler.sample(xs.data(), 26, xs.data(), 26, xs.data(), 26, values.data());
        } else {
            std::size_t i = 0;
            for (float y : xs)
                for (float x : xs)
                    for (float z : xs) values[i++] = model::evaluateAt(slot, x, y, z);
        }
        benchmark::DoNotOptimize(values.data());
    }
}

BENCHMARK_CAPTURE(grid25, small, "small")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(grid25, big, "big")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(pointByPoint, csg, "csg")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(grid, csg, "csg")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(pointByPoint, part, "part")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(grid, part, "part")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
