// Batched evaluation against point-by-point evaluation: every value to the bit, and every error
// (message, position, object) at exactly the points that fail.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "eval/batch_interpreter.h"
#include "lang/builtins.h"
#include "lang/settings.h"
#include "tests/lang/lang_test_util.h"

namespace lv::eval {
namespace {

using namespace lang;

using lang::testing::compile;
using lang::testing::Compiled;

// x and a values of one point.
using Point = std::vector<float>;

std::string describe(const RuntimeError& e) {
    return std::to_string(e.line) + ":" + std::to_string(e.column) + ": " + e.message + " in " +
           (e.object ? e.object->name : "?");
}

// Evaluates object at every point both ways and compares; returns the number of failed points.
int expectSameAsPointByPoint(const CompiledObject& object, const std::vector<Point>& points,
                             const std::string& what) {
    if (object.code.empty()) return 0; // did not compile
    const int inputs = object.xSize + object.aSize;
    Workspace single(object);
    BatchWorkspace batch(object);
    std::vector<float> results(static_cast<std::size_t>(batch.points()));
    std::vector<std::uint8_t> ok(results.size());
    std::vector<RuntimeError> errors(results.size());
    int failures = 0;
    for (std::size_t first = 0; first < points.size();
         first += static_cast<std::size_t>(batch.points())) {
        int count = static_cast<int>(
            std::min(points.size() - first, static_cast<std::size_t>(batch.points())));
        for (int s = 0; s < inputs; ++s)
            for (int p = 0; p < count; ++p)
                batch.input(s)[p] = points[first + static_cast<std::size_t>(p)][static_cast<std::size_t>(s)];
        int batchFailures = executeBatch(batch, count, results.data(), ok.data(), errors.data());
        int expectedFailures = 0;
        for (int p = 0; p < count; ++p) {
            const Point& point = points[first + static_cast<std::size_t>(p)];
            std::copy(point.begin(), point.end(), single.values.begin());
            float value = 0.0f;
            RuntimeError error;
            int status = executeObject(object, single.values.data(), single.flags.data(), value,
                                       error);
            expectedFailures += status == 0;
            SCOPED_TRACE(what + " at point " + std::to_string(first + static_cast<std::size_t>(p)));
            EXPECT_EQ(ok[static_cast<std::size_t>(p)], status);
            if (ok[static_cast<std::size_t>(p)] != status) {
                ++failures;
            } else if (status == 1) {
                EXPECT_EQ(std::bit_cast<std::uint32_t>(results[static_cast<std::size_t>(p)]),
                          std::bit_cast<std::uint32_t>(value))
                    << results[static_cast<std::size_t>(p)] << " != " << value;
            } else {
                const RuntimeError& got = errors[static_cast<std::size_t>(p)];
                EXPECT_EQ(describe(got), describe(error));
                EXPECT_EQ(got.object, error.object);
            }
        }
        EXPECT_EQ(batchFailures, expectedFailures);
        failures += expectedFailures;
    }
    return failures;
}

// Random points with a share of special values (zero, one, halves, large) that make the
// rules' edge cases and errors happen.
std::vector<Point> randomPoints(int inputs, int count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> wide(-3.0f, 3.0f);
    const float special[] = {0.0f, 1.0f, -1.0f, 0.5f, -0.5f, 2.0f, 1e-7f, 40.0f, -40.0f, 1e30f};
    std::vector<Point> points(static_cast<std::size_t>(count), Point(static_cast<std::size_t>(inputs)));
    for (Point& p : points)
        for (float& v : p)
            v = random() % 5 == 0 ? special[random() % std::size(special)] : wide(random);
    return points;
}

const CompiledObject& lastObject(const Compiled& c, const std::string& text) {
    if (!c.errors.empty() || c.objects.empty()) {
        ADD_FAILURE() << text << "\n" << (c.errors.empty() ? "" : c.errors[0].message);
        static const CompiledObject empty = [] {
            CompiledObject o;
            o.name = "empty";
            return o;
        }();
        return empty;
    }
    return *c.objects.back();
}

class BatchInterpreter : public ::testing::Test {
protected:
    void TearDown() override {
        setEps(kDefaultEps);
        setAlpha(kDefaultAlpha);
    }
};

// A call of built-in row with arguments taken from x and from arrays filled partly from x, so
// that every point calls it differently. Transforms change x: the result shows x afterwards.
std::string callOf(int row, int arraySize) {
    const BuiltinRow& b = kBuiltins[row];
    std::string declare = "array ", fill, args;
    int arrays = 0, declared = 0;
    for (int i = 0; i < b.argumentCount; ++i) {
        if (i > 0) args += ", ";
        if (b.argumentKinds[i] == kArgArray) {
            if (arrays == 0 && i == 0) {
                args += "x";
            } else {
                std::string name = "p" + std::to_string(i);
                declare += (declared++ > 0 ? ", " : "") + name + "[" + std::to_string(arraySize) + "]";
                fill += name + " = [";
                for (int k = 0; k < arraySize; ++k)
                    fill += (k ? ", " : "") + std::to_string(0.25 * ((k * 7 + i) % 9) - 0.5);
                fill += "]; " + name + "[1] = x[2] * 0.5; " + name + "[" +
                        std::to_string(arraySize) + "] = x[3] + " + std::to_string(i) + "; ";
                args += name;
            }
            ++arrays;
        } else {
            const char* forms[] = {"x[1]", "x[2] * 0.5 + 1", "x[3] - 0.25", "x[1] + x[2]",
                                   "0.75", "x[3] * x[3] + 0.5", "2 - x[2]"};
            args += forms[i % 7];
        }
    }
    std::string body = (declared > 0 ? declare + "; " : "") +
                       fill + "v = " + b.name + "(" + args + "); ";
    return "t(x[3], a[0]) { " + body + "t = v + x[1] + 2 * x[2] + 3 * x[3]; }";
}

TEST_F(BatchInterpreter, EveryBuiltinRowAtRandomPoints) {
    int failures = 0;
    for (int row = 0; row < kBuiltinCount; ++row) {
        for (int arraySize : {3, 12}) {
            std::string text = callOf(row, arraySize);
            Compiled c = compile(text);
            const CompiledObject& o = lastObject(c, text);
            failures += expectSameAsPointByPoint(o, randomPoints(3, 150, 17u + row), text);
            if (row < kMathBuiltinCount) break; // no arrays
        }
    }
    EXPECT_GT(failures, 100); // the special values do raise errors
}

TEST_F(BatchInterpreter, OperatorsAndTheirErrors) {
    const char* exprs[] = {
        "x[1] / x[2]", "x[1] ^ x[2]", "x[1] ^ 0.5", "x[1] ^ -3", "x[1] ^ 2 + x[2] ^ 3",
        "(x[1] & x[2]) | x[3] \\ (x[1] @ x[2])", "-x[1] + ~x[2]", "2 - x[1] * 3 + x[2] - 1", "max(x[1], x[2]) - min(x[2], x[3])",
        "mod(x[1] * 3, x[2])", "x[1] ^ 100000", "(x[1] * 100000 * 100000 * 100000 * 100000) ^ 3"};
    for (const char* e : exprs) {
        std::string text = std::string("t(x[3], a[0]) { t = ") + e + "; }";
        Compiled c = compile(text);
        expectSameAsPointByPoint(lastObject(c, text), randomPoints(3, 200, 5u), text);
    }
    const char* conditions[] = {"x[1] < x[2]", "x[1] >= x[2]", "x[1] = x[2]", "x[1] /= x[2]",
                                "x[1] and x[2]", "x[1] or x[2] > 1", "not x[1]",
                                "x[1] <= 1 / x[3]", "x[1]"};
    for (const char* e : conditions) {
        std::string text =
            std::string("t(x[3], a[0]) { if ") + e + " then r = x[2]; else r = x[3]; endif; t = r; }";
        Compiled c = compile(text);
        expectSameAsPointByPoint(lastObject(c, text), randomPoints(3, 200, 6u), text);
    }
}

TEST_F(BatchInterpreter, SetOperationsAtEveryAlphaAndInfiniteOperands) {
    std::string text = "t(x[3], a[0]) { t = (x[1] * 100000 * 100000 * 100000 * 100000 * 100000 * 100000 * 100000 * 100000 * x[3] & x[2]) | (x[3] \\ x[1]); }";
    Compiled c = compile(text);
    for (float alpha : {0.0f, -0.0f, 0.5f, 1.0f, -0.5f}) {
        ASSERT_TRUE(setAlpha(alpha));
        expectSameAsPointByPoint(lastObject(c, text), randomPoints(3, 130, 9u), text);
    }
}

TEST_F(BatchInterpreter, DivergingIfAndWhile) {
    const char* text =
        "f(x[3], a[1]) { if x[1] > a[1] then r = 1 / (x[2] - 1); else r = sqrt(x[2]); endif;"
        " f = r; }\n"
        "t(x[3], a[1]) {\n"
        "  array w[4];\n"
        "  s = 0; i = 0;\n"
        "  while i < x[1] * 3 and i < 12 loop\n"
        "    if x[2] > i * 0.3 then s = s + sqrt(x[2] - i * 0.2);\n"
        "    else s = s - 1 / (x[3] - i); endif;\n"
        "    if i < 4 then w[i + 1] = s; endif;\n"
        "    i = i + 1;\n"
        "  endloop;\n"
        "  if x[3] > 0 then y = f(x, a); endif;\n"
        "  if s > 1 then z = w[x[1] * 2]; else z = 0; endif;\n"
        "  t = s + y + z + f(x, a);\n"
        "}";
    Compiled c = compile(text);
    std::vector<Point> points = randomPoints(4, 700, 3u);
    for (std::size_t i = 0; i < points.size(); i += 3) points[i][3] = 0.0f; // a[1]
    int failures = expectSameAsPointByPoint(lastObject(c, text), points, "diverging");
    EXPECT_GT(failures, 20);
    EXPECT_LT(failures, 600);
}

// Values every point shares (constants, loop counters, indexes, arrays of constants) are
// worked on once for the block: the results and errors must still be those of each point,
// also where points part (an if or a loop that ends at different times) and come together.
TEST_F(BatchInterpreter, ValuesEveryPointShares) {
    const char* texts[] = {
        // a loop whose trip count agrees, with indexes, integer division and arrays
        "wt(x[3], a[1]) { wt = a[1] * (x[1] - x[2]); }\n"
        "t(x[3], a[0]) { array w[4], c[1]; w = [1, 0.5, 0.25, 0.125]; c = [2]; i = 1; s = 0;"
        " while i <= 4 loop s = s + w[i] * x[mod(i, 2) + 1] * x[3]; i = i + 1; endloop;"
        " t = s + wt(x, c); }",
        // shared errors: index out of range, division by zero, powers, sqrt, a failing row
        "t(x[3], a[0]) { array w[4]; k = 5; w = [1, 2, 3, 4]; if x[1] > 0 then r = w[k];"
        " else r = x[2]; endif; t = r; }",
        "t(x[3], a[0]) { z = 0; if x[1] > 0.5 then r = 1 / z; else r = x[1] / (z + 1); endif;"
        " t = r; }",
        "t(x[3], a[0]) { z = 0; n = -2; r = x[1]; if x[2] > 0 then r = z ^ n; endif;"
        " if x[2] < -1 then r = n ^ 0.5; endif; if x[3] > 1 then r = sqrt(n); endif; t = r; }",
        "t(x[3], a[0]) { q = 0; if x[1] < 0 then r = mod(7, q); else r = mod(7, 2) + log(q + 1);"
        " endif; t = r; }",
        // a shared value stored in one group only, while another group waits
        "t(x[3], a[0]) { array b[3]; v = 1; if x[1] > 0 then v = 2; endif; b = [5, 6, 7];"
        " t = b[v] + v * x[2]; }",
        // elements stored at a shared index, at a per-point index, and read back
        "t(x[3], a[0]) { array b[3]; b = [1, 2, 3]; i = 2; b[i] = 10; b[i + 1] = x[1];"
        " if x[2] > 0 then b[1.6 + x[3] * 0.2] = x[2]; endif; t = b[1] + b[2] * b[3] + b[i]; }",
        // unassigned elements reached through a shared index
        "t(x[3], a[0]) { array b[3]; if x[1] > 0 then b[2] = 1; endif; i = 2; t = b[i]; }",
        "t(x[3], a[0]) { array b[3]; b[1] = 4; i = 3; if x[1] > 0 then r = b[i - 2]; else"
        " r = b[i]; endif; t = r; }",
        // loops whose trip counts part: shared counter until the points leave one by one
        "t(x[3], a[0]) { i = 0; s = 0; while i < 3 + x[1] and i < 9 loop s = s + i * x[3]; i = i + 1;"
        " endloop; j = 0; while j < 2 loop s = s * 0.5; j = j + 1; endloop; t = s + i; }",
        // shared arguments of a callee, and an array a transform changes
        "g(x[3], a[2]) { g = a[1] * x[1] - a[2] / (a[1] - 2); }\n"
        "t(x[3], a[0]) { array p[2]; p = [2, 3]; if x[1] > 0 then p = [1, 3]; endif;"
        " t = g(x, p) + g(x, p); }",
        "t(x[3], a[0]) { array c[3]; c = [0, 0, 0]; y = lvsphere(x, c, 1);"
        " d = lvshift3d(c, 1, 2, 3); t = y + lvsphere(x, c, 2) + c[1] + d; }",
        // a shared condition and comparison chain
        "t(x[3], a[0]) { k = 2; if k > 1 and k < 3 then r = x[1]; else r = 1 / 0; endif;"
        " t = r; }",
    };
    int failures = 0;
    for (const char* text : texts) {
        Compiled c = compile(text);
        // 150 points: two full blocks and a part block
        failures += expectSameAsPointByPoint(lastObject(c, text), randomPoints(3, 150, 23u), text);
    }
    EXPECT_GT(failures, 150);
}

// The sphere, the cylinders and the block have a batched form that reads x and the centre
// straight from the frame: the same bits at every ALPHA, for sizes of either sign, centres
// shared or per point, and arrays of the wrong size (which give the outside value).
TEST_F(BatchInterpreter, BatchedSolidsAtEveryAlpha) {
    const char* texts[] = {
        "t(x[3], a[0]) { array c[3], d[4]; c = [0.5, -1, 2]; d = [1, 2, 3, 4]; d[2] = x[1];"
        " t = lvsphere(x, c, 1.5) + lvsphere(x, d, x[2]) + lvcylinderx(x, c, x[3])"
        " + lvcylindery(x, d, 2) + lvcylinderz(x, c, -0.5)"
        " + lvblock(x, c, 1, x[2], 2) + lvblock(x, d, x[1] + 1, 0.5, x[3]); }",
        "t(x[2], a[0]) { array c[3]; c = [0, 0, 0]; t = lvsphere(x, c, 1) + lvblock(x, c, 1, 1, 1); }",
        "t(x[3], a[0]) { array c[2]; c = [0, 0]; t = lvcylinderz(x, c, 1) + lvblock(x, c, 1, 1, 1); }",
    };
    for (float alpha : {0.0f, 0.5f, 1.0f}) {
        ASSERT_TRUE(setAlpha(alpha));
        for (const char* text : texts) {
            Compiled c = compile(text);
            const int inputs = std::string(text).find("x[2]") < 12 ? 2 : 3;
            expectSameAsPointByPoint(lastObject(c, text), randomPoints(inputs, 150, 29u), text);
        }
    }
}

TEST_F(BatchInterpreter, ChecksLeftOutOnlyWhereAssignmentIsCertain) {
    // v is assigned on every path, u on one; arrays assigned element by element keep checks.
    const char* text = "t(x[2], a[0]) { array b[2]; if x[1] > 0 then v = 1; u = 2; else v = 3;"
                       " endif; b[x[2]] = v; t = v + u + b[1]; }";
    Compiled c = compile(text);
    const CompiledObject& o = lastObject(c, text);
    expectSameAsPointByPoint(o, randomPoints(2, 300, 11u), text);
    int checkedLoads = 0, proven = 0;
    for (const DecodedInstr& in : o.decoded->code) {
        if (in.op == kDLocal || in.op == kDSlot) (in.check ? checkedLoads : proven) += 1;
    }
    EXPECT_EQ(checkedLoads, 2); // u and b[1]
    EXPECT_GE(proven, 2);       // v twice
}

TEST_F(BatchInterpreter, MillionSlotObjectResetsOnlyCheckedFlags) {
    // The array is never read: its flags are not part of any evaluation.
    const char* text = "t(x[1], a[0]) { array big[1000000]; big[1] = x[1]; t = x[1] * 2; }";
    Compiled c = compile(text);
    const CompiledObject& o = lastObject(c, text);
    EXPECT_TRUE(o.decoded->flagRanges.empty());
    expectSameAsPointByPoint(o, randomPoints(1, 70, 1u), text);
    BatchWorkspace w(o);
    EXPECT_GE(w.points(), 1);
}

TEST_F(BatchInterpreter, DeepExpressionsAndEpsChanges) {
    std::string e = "x[1]";
    for (int i = 0; i < 150; ++i) e = "(" + e + " + x[2] * (x[3] - " + std::to_string(i) + "))";
    std::string text = "t(x[3], a[0]) { t = " + e + "; }";
    Compiled c = compile(text);
    ASSERT_TRUE(setEps(0.25f));
    expectSameAsPointByPoint(lastObject(c, text), randomPoints(3, 100, 2u), text);
}

} // namespace
} // namespace lv::eval
