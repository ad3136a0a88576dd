// Grid sampling in batches on threads against evaluateAt point by point.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/grid_sampler.h"
#include "tests/model/fake_sources.h"

namespace lv::model {
namespace {

using testing::FakeSources;

// Fails where x[1] = 0; rotates x in place (a transform), so a leaked change would show; the axes sit
// on x[2], x[4], x[1] and x[3] is a constant.
const char* kText =
    "spun(x[4], a[1]) {\n"
    "  t = lvrotate3dx(x, 0.3);\n"
    "  s = 0; i = 0;\n"
    "  while i < x[4] + 2 and i < 4 loop s = s + x[i + 1] * 0.25; i = i + 1; endloop;\n"
    "  if x[1] > 0.5 then s = s + sqrt(x[2]); endif;\n"
    "  spun = a[1] - x[1]^2 - x[2]^2 - x[3]^2 + s + 0.001 / x[1];\n"
    "}\n";

struct Fixture {
    FakeSources sources;
    Model model;
    ModelObject* object = nullptr;

    Fixture() {
        sources.texts["/src/spun.lv"] = kText;
        object = model.addObject(sources, "spun", "spun", "/src/spun.lv");
        assignAxis(*object, XAxis, 1);
        assignAxis(*object, YAxis, 3);
        assignAxis(*object, ZAxis, 0);
        setValue(object->xBindings, 2, 0.75f);
        setValue(object->aBindings, 0, 9.0f);
    }
};

std::vector<float> axis(int n, float from, float step) {
    std::vector<float> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = from + step * static_cast<float>(i);
    return v;
}

TEST(GridSampler, SameValuesFailuresAndFirstErrorAsPointByPoint) {
    Fixture reference;
    ASSERT_NE(reference.object, nullptr);
    ASSERT_EQ(reference.model.prepareFrame(0, 0, 0, 0), 1);
    const std::vector<float> xs = axis(23, -2.0f, 0.25f), ys = axis(19, -1.5f, 0.25f);
    const std::vector<float> zs = axis(3, -0.5f, 0.5f);
    const std::size_t total = xs.size() * ys.size() * zs.size();
    std::vector<float> expected(total);
    EvalSlot& one = reference.model.slots()[0];
    for (std::size_t r = 0, i = 0; r < ys.size(); ++r)
        for (std::size_t c = 0; c < xs.size(); ++c)
            for (std::size_t p = 0; p < zs.size(); ++p, ++i)
                expected[i] = evaluateAt(one, xs[c], ys[r], zs[p]);
    ASSERT_GT(one.failures, 0);

    for (int threads : {1, 2, 7}) {
        Fixture f;
        ASSERT_EQ(f.model.prepareFrame(0, 0, 0, 0), 1);
        EvalSlot& slot = f.model.slots()[0];
        std::vector<float> values(total);
        {
            GridSampler sampler(slot, threads);
            // Twice: the second block's errors add to the first's, the first error stays.
            sampler.sample(xs.data(), static_cast<int>(xs.size()), ys.data(),
                           static_cast<int>(ys.size()), zs.data(), static_cast<int>(zs.size()),
                           values.data());
            sampler.sample(xs.data(), static_cast<int>(xs.size()), ys.data(),
                           static_cast<int>(ys.size()), zs.data(), static_cast<int>(zs.size()),
                           values.data());
        }
        SCOPED_TRACE(std::to_string(threads) + " threads");
        for (std::size_t i = 0; i < total; ++i)
            ASSERT_EQ(std::bit_cast<std::uint32_t>(values[i]),
                      std::bit_cast<std::uint32_t>(expected[i]))
                << "point " << i;
        EXPECT_EQ(slot.failures, 2 * one.failures);
        EXPECT_STREQ(slot.firstError.message, one.firstError.message);
        EXPECT_EQ(slot.firstError.line, one.firstError.line);
        EXPECT_EQ(slot.firstError.column, one.firstError.column);
    }
}

TEST(GridSampler, EvaluateAtForgetsWhatATransformDidToX) {
    Fixture f;
    ASSERT_EQ(f.model.prepareFrame(0, 0, 0, 0), 1);
    EvalSlot& slot = f.model.slots()[0];
    float first = evaluateAt(slot, 0.5f, 0.25f, 1.0f);
    evaluateAt(slot, 1.5f, -0.75f, 0.5f); // rotates x[3], the constant, among others
    EXPECT_EQ(evaluateAt(slot, 0.5f, 0.25f, 1.0f), first);
}

TEST(WorkerPool, RunsEveryIndexOnceAndPassesOnTheFirstException) {
    for (int threads : {1, 3}) {
        WorkerPool pool(threads);
        for (int job = 0; job < 20; ++job) { // many jobs: workers must not miss or repeat one
            std::vector<std::atomic<int>> runs(97);
            pool.run(97, [&](int i, int thread) {
                ASSERT_GE(thread, 0);
                ASSERT_LT(thread, threads);
                runs[static_cast<std::size_t>(i)]++;
            });
            for (auto& r : runs) ASSERT_EQ(r.load(), 1);
        }
        EXPECT_THROW(pool.run(10,
                              [](int i, int) {
                                  if (i == 4) throw std::runtime_error("four");
                              }),
                     std::runtime_error);
        std::atomic<int> after{0};
        pool.run(5, [&](int, int) { ++after; });
        EXPECT_EQ(after.load(), 5);
    }
}

TEST(GridSampler, ObjectThatDidNotCompileSamplesAsOutsideUncounted) {
    EvalSlot slot; // no object
    GridSampler sampler(slot, 2);
    float xs[2] = {0, 1}, ys[1] = {0}, zs[1] = {0}, values[2] = {};
    sampler.sample(xs, 2, ys, 1, zs, 1, values);
    EXPECT_EQ(values[0], failedEvaluationValue());
    EXPECT_EQ(values[1], failedEvaluationValue());
    EXPECT_EQ(slot.failures, 0);
}

} // namespace
} // namespace lv::model
