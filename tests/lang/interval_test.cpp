#include "lang/interval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "lang/settings.h"
#include "interval_sweep.h"
#include "lang_test_util.h"

namespace lv::lang {
namespace {

using testing::compile;

class IntervalTest : public ::testing::Test {
protected:
    void TearDown() override {
        setEps(kDefaultEps);
        setAlpha(kDefaultAlpha);
    }
};

using testing::sweep;
using testing::Sweep;

std::string object(const std::string& body) {
    return "f(x[3], a[0]) {\n" + body + "\n}\n";
}

TEST_F(IntervalTest, ArithmeticAndPowersContainEveryPointResult) {
    for (const char* body :
         {"f = x[1] + x[2];", "f = x[1] - x[2] * x[3];", "f = x[1] * x[2] - 0.3;",
          "f = 2 - x[1];", "f = x[1] / x[2];", "f = x[1] / (x[2] * x[2] + 0.5);",
          "f = x[1]^2 + x[2]^2 - 4;", "f = x[1]^3 - x[2];", "f = x[1]^(-2);", "f = (x[1] - x[2])^5;",
          "f = -x[1] + +x[2];", "f = x[1]^4 * 0.1 - x[3]^2;"}) {
        const Sweep s = sweep(object(body));
        EXPECT_GT(s.proven, 20) << body; // the rule proves something for most boxes
    }
}

TEST_F(IntervalTest, MathBuiltinsContainEveryPointResult) {
    for (const char* body :
         {"f = sqrt(x[1] * x[1] + x[2]);", "f = exp(x[1]);", "f = log(x[1] * x[1] + 0.01);",
          "f = logd(x[1] * x[1] + 1);", "f = sin(x[1] * 3);", "f = cos(x[1] * 2 + x[2]);",
          "f = asin(x[1] / 9);", "f = acos(x[2] / 9);", "f = atan(x[1] * 10);",
          "f = abs(x[1]) - 1;", "f = sinh(x[1]);", "f = cosh(x[1]);", "f = tanh(x[1] * 4);",
          "f = sign(x[1]);", "f = max(x[1], x[2]) - min(x[2], x[3]);",
          "f = max(min(x[1], 1 - x[2]), x[3] - 2);"}) {
        const Sweep s = sweep(object(body));
        EXPECT_GT(s.proven, 20) << body;
    }
}

TEST_F(IntervalTest, SetOperationsContainEveryPointResultForAlphaInZeroToOne) {
    for (float alpha : {0.0f, 0.5f, 1.0f}) {
        ASSERT_TRUE(setAlpha(alpha));
        for (const char* body :
             {"f = (1 - x[1]) & (x[2] + 0.5);", "f = (1 - x[1]^2) | (x[2] - x[3]);",
              "f = (4 - x[1]^2 - x[2]^2) \\ (x[3] - 1);", "f = x[1] @ x[2];"}) {
            const Sweep s = sweep(object(body));
            EXPECT_GT(s.proven, 20) << body << " alpha " << alpha;
        }
    }
    ASSERT_TRUE(setAlpha(-0.5f)); // outside [0, 1] the operations fail: nothing is proven
    EXPECT_EQ(sweep(object("f = x[1] & x[2];")).proven, 0);
}

TEST_F(IntervalTest, ConditionsAndLoopsContainEveryPointResult) {
    for (const char* body :
         {"if x[1] < x[2] and x[1] >= 1 then r = 1; else r = 2; endif; f = r;",
          "if x[2] = x[3] or not x[1] /= 0.5 then r = x[1]; else r = x[2]; endif; f = r;",
          "if x[1] > 0 and not x[2] <= 1 or x[3] > 1 then r = 3; else r = x[3]; endif; f = r;",
          "if x[1] > 0 then r = x[1]; else r = -x[1] - 1; endif; f = r;",
          "s = 0; i = 1; while i < 4 loop s = s + x[i]^2; i = i + 1; endloop; f = 9 - s;",
          "array p[3]; p = [1, 2, 3]; f = p[2] * x[1] - p[3];"}) {
        const Sweep s = sweep(object(body));
        EXPECT_GT(s.proven, 5) << body;
    }
}

TEST_F(IntervalTest, PrimitivesContainEveryPointResult) {
    for (float alpha : {0.0f, 0.5f, 1.0f}) {
        ASSERT_TRUE(setAlpha(alpha));
        for (const char* body :
             {"array c[3]; c = [0.5, -1, 2]; f = lvsphere(x, c, 2.5);",
              "array c[3]; c = [0.5, -1, 2]; f = lvcylinderx(x, c, 1.5);",
              "array c[3]; c = [0.5, -1, 2]; f = lvcylindery(x, c, 1.5);",
              "array c[3]; c = [0.5, -1, 2]; f = lvcylinderz(x, c, 1.5);",
              "array c[3]; c = [-2, -1, -3]; f = lvblock(x, c, 4, 2, 5);",
              "array c[3]; c = [-2, -1, -3]; f = lvblock(x, c, 4, 2, 5) \\ lvsphere(x, c, 1);"}) {
            const Sweep s = sweep(object(body));
            EXPECT_GT(s.proven, 20) << body << " alpha " << alpha;
        }
    }
}

TEST_F(IntervalTest, ObjectCallsAreBoundedThroughTheCallee) {
    const Sweep s = sweep("ball(x[3], a[1]) { ball = a[1] - x[1]^2 - x[2]^2 - x[3]^2; }\n"
                          "f(x[3], a[0]) { array r[1]; r = [4]; f = ball(x, r) | (x[1] - 1); }\n");
    EXPECT_GT(s.proven, 20);
}

TEST_F(IntervalTest, NothingIsProvenWhereAnEvaluationMayFailOrBranchesDiffer) {
    testing::Compiled c = compile(object("if x[1] > 0 then r = 1; else r = 2; endif; f = r;"));
    ASSERT_TRUE(c.errors.empty());
    const CompiledObject& branch = *c.objects.back();
    Interval in[3] = {{-1.0f, 1.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}}, out;
    EXPECT_FALSE(boundObject(branch, in, out)); // the condition differs inside the box
    in[0] = {0.5f, 1.0f};
    ASSERT_TRUE(boundObject(branch, in, out));
    EXPECT_EQ(out.lo, 1.0f);
    EXPECT_EQ(out.hi, 1.0f);
    for (const char* body : {"f = 1 / x[1];", "f = sqrt(x[1]);", "f = log(x[1]);",
                             "f = asin(x[1] * 3);", "f = x[1]^0.5;", "f = tan(x[1]);",
                             "f = lvsphere(x, x, 1) + undefined_thing;"}) {
        testing::Compiled d = compile(object(body));
        if (!d.errors.empty()) continue;
        Interval around[3] = {{-0.5f, 0.5f}, {0.0f, 1.0f}, {0.0f, 1.0f}};
        EXPECT_FALSE(boundObject(*d.objects.back(), around, out)) << body;
    }
    testing::Compiled loop = compile(object("g = 0; while g >= 0 loop g = g + 1; endloop; f = g;"));
    ASSERT_TRUE(loop.errors.empty());
    EXPECT_FALSE(boundObject(*loop.objects.back(), in, out, 1000)); // the step limit ends it
}

TEST_F(IntervalTest, SingleValuesGiveTheInterpretersResultAndRangesRoundOutward) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> v(-100.0f, 100.0f);
    for (int i = 0; i < 20000; ++i) {
        const float a = v(rng), b = v(rng);
        const float a2 = std::nextafter(a, 1000.0f);
        Interval out;
        ASSERT_TRUE(intervalAdd({a, a}, {b, b}, out)); // single values stay single
        EXPECT_EQ(out.lo, a + b);
        EXPECT_EQ(out.hi, a + b);
        ASSERT_TRUE(intervalAdd({a, a2}, {b, b}, out));
        EXPECT_TRUE(out.lo < a + b && a2 + b < out.hi); // one ulp out on each side
        ASSERT_TRUE(intervalMul({a, a2}, {b, b}, out));
        EXPECT_TRUE(out.lo < a * b && a * b < out.hi && out.lo < a2 * b && a2 * b < out.hi);
        ASSERT_TRUE(intervalSub({b, b}, {a, a2}, out));
        EXPECT_TRUE(out.lo < b - a2 && b - a < out.hi);
    }
    Interval out;
    EXPECT_FALSE(intervalMul({3e38f, 3e38f}, {2.0f, 3.0f}, out)); // infinite: nothing proven
}

} // namespace
} // namespace lv::lang
