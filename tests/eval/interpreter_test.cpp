#include "eval/interpreter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "lang/settings.h"
#include "tests/lang/lang_test_util.h"

namespace lv::eval {
namespace {

using namespace lang;

using lang::testing::evalExpr;
using lang::testing::evalLast;

// Restores EPS and ALPHA after a test that changes them.
struct SettingsGuard {
    ~SettingsGuard() {
        setEps(kDefaultEps);
        setAlpha(kDefaultAlpha);
    }
};

std::string errorOf(const std::string& expression) { return evalExpr(expression).error; }

TEST(Interpreter, LoopsConditionsAndParameters) {
    const char* s = "s(x[3], a[1]) { i = 1; t = 0; while i <= 3 loop t = t + x[i]^2; i = i + 1;"
                    " endloop; if t > a[1] then r = -1; else r = 1; endif; s = r; }";
    EXPECT_EQ(evalLast(s, {1, 0, 0}, {2}).value, 1.0f);
    EXPECT_EQ(evalLast(s, {1, 1, 1}, {2}).value, -1.0f);
}

TEST(Interpreter, TruthIsMagnitudeAtLeastEps) {
    const char* p = "p(x[1], a[0]) { r = 0; if x[1] then r = 1; endif; p = r; }";
    EXPECT_EQ(evalLast(p, {0.5f}).value, 1.0f);
    EXPECT_EQ(evalLast(p, {0.0000005f}).value, 0.0f);
    EXPECT_EQ(evalLast(p, {-0.5f}).value, 1.0f);
    const char* q = "p(x[0], a[0]) { r = 0; if 1 = 1.0000001 and 1 < 1.0000001 then r = 1; "
                    "endif; p = r; }";
    EXPECT_EQ(evalLast(q).value, 1.0f);
}

TEST(Interpreter, PowerRules) {
    EXPECT_EQ(evalExpr("2^3").value, 8.0f);
    EXPECT_EQ(evalExpr("2^-2").value, 0.25f);
    EXPECT_EQ(evalExpr("(-2)^3").value, -8.0f);
    EXPECT_EQ(evalExpr("0^2").value, 0.0f);
    EXPECT_FLOAT_EQ(evalExpr("2^0.5").value, std::sqrt(2.0f));
    EXPECT_EQ(evalExpr("(-2)^1001").value, -INFINITY);
    EXPECT_EQ(evalExpr("(-1)^1000001").value, -1.0f);
    EXPECT_EQ(errorOf("(-2)^0.5"), "1:25: Negative argument value of power function");
    EXPECT_EQ(errorOf("0^0"), "1:22: Zero value in negative or zero power");
    EXPECT_EQ(errorOf("0^-1"), "1:22: Zero value in negative or zero power");
    // Repeated multiplication in single precision, not pow: 1.1^3 rounds after each step.
    float p = 1.1f;
    EXPECT_EQ(evalExpr("1.1^3").value, p * p * p);
}

TEST(Interpreter, DivisionByNearZeroFails) {
    EXPECT_EQ(errorOf("1/0.0000001"), "1:22: Division by zero");
    EXPECT_EQ(evalExpr("1/4").value, 0.25f);
}

TEST(Interpreter, SetOperationsFollowAlpha) {
    SettingsGuard guard;
    EXPECT_NEAR(evalExpr("1 & 2").value, 0.7639f, 1e-4);
    EXPECT_NEAR(evalExpr("1 @ 2").value, 0.7639f, 1e-4);
    EXPECT_NEAR(evalExpr("1 | 2").value, 5.2361f, 1e-4);
    EXPECT_NEAR(evalExpr("1 \\ 2").value, -3.2361f, 1e-4);
    ASSERT_TRUE(setAlpha(1.0f));
    EXPECT_EQ(evalExpr("1 & 2").value, 1.0f);
    EXPECT_EQ(evalExpr("1 | 2").value, 2.0f);
    EXPECT_EQ(evalExpr("1 \\ 2").value, -2.0f);
    ASSERT_TRUE(setAlpha(-0.5f));
    for (const char* op : {"&", "|", "\\", "@"})
        EXPECT_EQ(errorOf(std::string("1 ") + op + " 2"),
                  "1:23: Value of ALPHA should be in range 0.0 .. 1.0");
}

TEST(Interpreter, SettersKeepTheirRanges) {
    SettingsGuard guard;
    EXPECT_FALSE(setEps(1.0f));
    EXPECT_FALSE(setEps(0.0f));
    EXPECT_FALSE(setEps(NAN));
    EXPECT_TRUE(setEps(0.5f));
    EXPECT_EQ(eps(), 0.5f);
    EXPECT_TRUE(setAlpha(-1.0f));
    EXPECT_TRUE(setAlpha(1.0f));
    EXPECT_FALSE(setAlpha(1.0001f));
    EXPECT_EQ(alpha(), 1.0f);
}

TEST(Interpreter, UnaryOperators) {
    EXPECT_EQ(evalExpr("~3").value, -3.0f);
    EXPECT_EQ(evalExpr("+3").value, 3.0f);
}

TEST(Interpreter, VariablesAssignedOnlyInATakenBranch) {
    const char* p = "p(x[1], a[0]) { if x[1] > 0 then v = 1; endif; p = v; }";
    EXPECT_EQ(evalLast(p, {1}).value, 1.0f);
    EXPECT_EQ(evalLast(p, {-1}).error, "1:52: Not initialized variable");
}

TEST(Interpreter, ArrayIndexesRoundAndStayInRange) {
    const char* p = "p(x[1], a[0]) { array b[3]; b = [10, 20, 30]; p = b[x[1]]; }";
    EXPECT_EQ(evalLast(p, {2.5f}).value, 30.0f);
    EXPECT_EQ(evalLast(p, {0.5f}).value, 10.0f);
    EXPECT_EQ(evalLast(p, {0}).error, "1:53: Array index out of range");
    EXPECT_EQ(evalLast(p, {4}).error, "1:53: Array index out of range");
    const char* q = "p(x[1], a[0]) { array b[3]; b[x[1]] = 1; p = b[1]; }";
    EXPECT_EQ(evalLast(q, {1}).value, 1.0f);
    EXPECT_EQ(evalLast(q, {2}).error, "1:46: Unassigned identificator used in expression");
    EXPECT_EQ(evalLast(q, {7}).error, "1:31: Array index out of range");
}

TEST(Interpreter, WholeArraysMustBeFullyAssigned) {
    const char* p = "p(x[3], a[0]) { array c[3]; c[1] = 0; c[2] = 0; p = lvsphere(x, c, 1); }";
    EXPECT_EQ(evalLast(p, {0, 0, 0}).error, "1:65: Some items of array are unassigned");
    const char* q = "q(x[2], a[0]) { q = x[1]; }\n"
                    "p(x[3], a[0]) { array c[2]; c[2] = 0; p = q(c, 0); }";
    EXPECT_EQ(evalLast(q, {0, 0, 0}).error, "2:45: Some items of array are unassigned");
}

TEST(Interpreter, MathematicalBuiltins) {
    const std::pair<const char*, float> values[] = {
        {"sign(-0.5)", -1}, {"sign(0)", 1},         {"sign(2)", 1},       {"max(1, 1)", 1},
        {"min(1, 2)", 1},   {"sqrt(0)", 0},         {"abs(-3)", 3},       {"mod(7, 2)", 3},
        {"mod(-7, 2)", -3}, {"mod(7.4, 1.6)", 3},   {"logd(100)", 2},     {"exp(0)", 1},
    };
    for (auto [e, v] : values) EXPECT_EQ(evalExpr(e).value, v) << e;
    EXPECT_FLOAT_EQ(evalExpr("atan2(1, 0)").value, static_cast<float>(M_PI / 2));
    EXPECT_FLOAT_EQ(evalExpr("atan2(0, -1)").value, static_cast<float>(M_PI));
    EXPECT_FLOAT_EQ(evalExpr("asin(1)").value, static_cast<float>(M_PI / 2));
    EXPECT_EQ(evalExpr("sin(1)").value, static_cast<float>(std::sin(1.0)));
    EXPECT_EQ(errorOf("log(0)"), "1:21: Negative argument of log function");
    EXPECT_EQ(errorOf("logd(-1)"), "1:21: Negative argument of log function");
    EXPECT_EQ(errorOf("sqrt(-1)"), "1:21: Negative argument value of square root");
    EXPECT_EQ(errorOf("asin(1.0001)"), "1:21: Argument must be in range -1.0 .. +1.0");
    EXPECT_EQ(errorOf("acos(-2)"), "1:21: Argument must be in range -1.0 .. +1.0");
    EXPECT_EQ(errorOf("tan(1.5707964)"), "1:21: Cannot compute tan for this argument");
    EXPECT_EQ(errorOf("mod(3, 0.4)"), "1:21: Division by zero");
}

TEST(Interpreter, OperandsRunLastFirstAndTheRightErrorWins) {
    EXPECT_EQ(errorOf("1/0 + sqrt(-1)"), "1:27: Negative argument value of square root");
    // A transform of x changes what later code sees: the right operand runs first.
    const char* p = "p(x[3], a[0]) { p = x[1] + lvshift3d(x, 5, 0, 0); }";
    EXPECT_EQ(evalLast(p, {1, 0, 0}).value, 1.0f + -4.0f);
}

TEST(Interpreter, ObjectCallsUseFramesInTheCallersWorkspace) {
    const char* p = "inner(x[2], a[1]) { s = x[1] * a[1]; inner = s + x[2]; }\n"
                    "mid(x[2], a[1]) { array v[2]; v = [3, 4]; mid = inner(v, a) + inner(x, a); }\n"
                    "outer(x[2], a[1]) { outer = mid(x, a) * 2; }";
    // inner(v) = 3*a+4, inner(x) = x1*a+x2
    EXPECT_EQ(evalLast(p, {1, 2}, {10}).value, 2.0f * (34.0f + 12.0f));
    const char* q = "f(x[1], a[0]) {\n f = 1 / x[1]; }\ng(x[1], a[0]) { g = f(x, 0); }";
    EXPECT_EQ(evalLast(q, {0}).error, "2:8: Division by zero");
}

TEST(Interpreter, ConstantOperandsAndSquaresKeepTheirMeaning) {
    const char* p = "p(x[2], a[0]) { p = (x[1] - 1.5) * (2.5 - x[2]) + (3 + x[1]) * (x[2] * 0.5) "
                    "- x[1]^2 + (x[2] + x[1])^2; }";
    for (float u : {0.0f, 1.25f, -3.5f, 1e-7f})
        for (float v : {0.0f, 2.0f, -0.75f}) {
            float expect = (u - 1.5f) * (2.5f - v) + (3.0f + u) * (v * 0.5f);
            expect = expect - (std::fabs(u) < kDefaultEps ? 0.0f : u * u);
            float w = v + u;
            expect = expect + (std::fabs(w) < kDefaultEps ? 0.0f : w * w);
            EXPECT_EQ(evalLast(p, {u, v}).value, expect) << u << " " << v;
        }
    const char* q = "p(x[1], a[0]) { array b[2]; b[2] = 1; p = b[2]^2 + b[1]^2; }";
    EXPECT_EQ(evalLast(q, {0}).error, "1:52: Unassigned identificator used in expression");
}

TEST(Interpreter, DeepExpressionsUseALargerValueStack) {
    std::string right = "1", left = "x[1]";
    for (int i = 0; i < 200; ++i) {
        right = "(x[1] * " + right + ")";
        left += " + x[1]";
    }
    // A left-leaning chain keeps every right operand on the stack until the chain resolves.
    EXPECT_EQ(evalLast("p(x[1], a[0]) { p = " + right + "; }", {1}).value, 1.0f);
    EXPECT_EQ(evalLast("p(x[1], a[0]) { p = " + left + "; }", {1}).value, 201.0f);
    EXPECT_EQ(evalLast("p(x[1], a[0]) { p = " + left + " + " + right + "; }", {1}).value, 202.0f);
}

TEST(Interpreter, BoundedEvaluationStopsEndlessLoops) {
    auto c = lang::testing::compile("p(x[0], a[0]) { i = 0; while 1 loop i = i + 1; endloop; p = i; }");
    ASSERT_TRUE(c.errors.empty());
    Workspace ws(*c.objects[0]);
    float result = 0.0f;
    RuntimeError error;
    EXPECT_EQ(executeObjectBounded(*c.objects[0], ws.values.data(), ws.flags.data(), result,
                                   error, 1000),
              0);
    EXPECT_STREQ(error.message, "Bad code is generated for object");
}

TEST(Interpreter, TwoThreadsEvaluateTwoWorkspacesAtOnce) {
    auto c = lang::testing::compile(
        "p(x[3], a[0]) { array c[3]; c = [0.5, 0, 0]; i = 0; s = 0;\n"
        "while i < 50 loop s = s + lvsphere(x, c, 2) | x[2]; i = i + 1; endloop; p = s; }");
    ASSERT_TRUE(c.errors.empty());
    const CompiledObject& o = *c.objects[0];
    auto sweep = [&o](float offset, std::vector<float>& out) {
        Workspace ws(o);
        for (int k = 0; k < 2000; ++k) {
            ws.values[0] = offset + 0.001f * k;
            ws.values[1] = 0.5f;
            ws.values[2] = -0.25f;
            float r = 0;
            RuntimeError e;
            executeObject(o, ws.values.data(), ws.flags.data(), r, e);
            out.push_back(r);
        }
    };
    std::vector<float> a1, b1, a2, b2;
    sweep(0.0f, a1);
    sweep(1.0f, b1);
    std::thread t1(sweep, 0.0f, std::ref(a2)), t2(sweep, 1.0f, std::ref(b2));
    t1.join();
    t2.join();
    EXPECT_EQ(a1, a2);
    EXPECT_EQ(b1, b2);
}

} // namespace
} // namespace lv::eval
