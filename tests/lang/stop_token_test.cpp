#include "lang/stop_token.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "eval/interpreter.h"
#include "lang_test_util.h"

namespace lv::lang {
namespace {

using eval::executeObject;
using eval::Workspace;

// Lowers the process-wide stop after each test so that no other test sees it raised.
struct StopGuard {
    ~StopGuard() { evaluationStop().reset(); }
};

TEST(StopToken, EndlessLoopEndsWhenAnotherThreadRaisesTheStop) {
    StopGuard guard;
    auto c = testing::compile("p(x[0], a[0]) { i = 0; while 1 loop i = i + 1; endloop; p = i; }");
    ASSERT_TRUE(c.errors.empty());
    Workspace ws(*c.objects[0]);
    float result = 0.0f;
    RuntimeError error;
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        evaluationStop().requestStop();
    });
    EXPECT_EQ(executeObject(*c.objects[0], ws.values.data(), ws.flags.data(), result, error), 0);
    stopper.join();
    EXPECT_TRUE(evaluationStop().stopRequested());
}

TEST(StopToken, RaisedStopFailsEveryEvaluationUntilReset) {
    StopGuard guard;
    auto c = testing::compile("p(x[1], a[0]) { p = 2 * x[1]; }");
    ASSERT_TRUE(c.errors.empty());
    Workspace ws(*c.objects[0]);
    ws.values[0] = 3.0f;
    float result = 0.0f;
    RuntimeError error;
    evaluationStop().requestStop();
    EXPECT_EQ(executeObject(*c.objects[0], ws.values.data(), ws.flags.data(), result, error), 0);
    evaluationStop().reset();
    ASSERT_EQ(executeObject(*c.objects[0], ws.values.data(), ws.flags.data(), result, error), 1);
    EXPECT_EQ(result, 6.0f);
}

} // namespace
} // namespace lv::lang
