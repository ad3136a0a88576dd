#include "lang/program_shortening.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "interval_sweep.h"
#include "eval/batch_interpreter.h"
#include "eval/interpreter.h"
#include "lang/interval.h"
#include "lang_test_util.h"

namespace lv::lang {
namespace {

using testing::compile;
using testing::Compiled;

// A copy of object that runs program instead of its own code.
CompiledObject withProgram(const CompiledObject& object, const DecodedProgram& program) {
    CompiledObject copy = object;
    copy.decoded = std::make_shared<const DecodedProgram>(program);
    return copy;
}

struct Shortening {
    int shortened = 0;      // boxes whose program got shorter
    int points = 0;         // points compared
    std::size_t fewest = 0; // fewest instructions of a shortened program
    int branchesCut = 0;    // shortened programs with fewer conditional jumps
    int again = 0;          // half boxes whose shortened program got shorter again
};

int conditionalJumps(const DecodedProgram& program) {
    int n = 0;
    for (const DecodedInstr& in : program.code) n += in.op == kDJumpIfFalse ? 1 : 0;
    return n;
}

// The values of program at the points (x[1], x[2], 0.5) through the batch interpreter on a
// workspace of object: false where a point fails.
bool batchValues(const CompiledObject& object, const DecodedProgram& program,
                 const std::vector<std::vector<float>>& points, std::vector<float>& values) {
    eval::BatchWorkspace ws(object);
    const int count = static_cast<int>(points.size());
    for (int s = 0; s < 3; ++s)
        for (int p = 0; p < count; ++p) ws.input(s)[p] = points[static_cast<std::size_t>(p)][s];
    values.assign(points.size(), 0.0f);
    std::vector<std::uint8_t> ok(points.size());
    std::vector<RuntimeError> errors(points.size());
    return eval::executeBatch(ws, program, count, values.data(), ok.data(), errors.data()) == 0;
}

// run() of the interpreter, giving up after a bounded number of steps: a wrongly shortened
// loop must fail the test, not hang it.
testing::Outcome runBounded(const CompiledObject& object, const std::vector<float>& x) {
    eval::Workspace ws(object);
    std::copy(x.begin(), x.end(), ws.values.begin());
    testing::Outcome out;
    RuntimeError error;
    out.ok = eval::executeObjectBounded(object, ws.values.data(), ws.flags.data(), out.value,
                                        error, 100000) == 1;
    return out;
}

// At count random points of the box (x[3] = 0.5), cut gives the floats of object bit for bit,
// one point at a time and through the batch interpreter; false at the first difference.
bool sameInBox(const CompiledObject& object, const DecodedProgram& cut, const Interval* box,
               std::mt19937& rng, const std::string& source, int count = 30) {
    const CompiledObject shorter = withProgram(object, cut);
    std::vector<std::vector<float>> points;
    std::vector<float> full;
    for (int p = 0; p < count; ++p) {
        const std::vector<float> x = {testing::pointIn(box[0], rng, p % 7),
                                      testing::pointIn(box[1], rng, (p / 2) % 7), 0.5f};
        const testing::Outcome whole = testing::run(object, x), part = runBounded(shorter, x);
        EXPECT_TRUE(whole.ok) << source << ": a proven box failed";
        EXPECT_TRUE(part.ok) << source;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(whole.value),
                  std::bit_cast<std::uint32_t>(part.value))
            << source << " at (" << x[0] << ", " << x[1] << "): " << whole.value << " vs "
            << part.value;
        if (!whole.ok || !part.ok ||
            std::bit_cast<std::uint32_t>(whole.value) != std::bit_cast<std::uint32_t>(part.value))
            return false;
        points.push_back(x);
        full.push_back(whole.value);
    }
    std::vector<float> batch;
    EXPECT_TRUE(batchValues(object, cut, points, batch)) << source;
    for (std::size_t p = 0; p < points.size(); ++p) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(full[p]), std::bit_cast<std::uint32_t>(batch[p]))
            << source << " batch at (" << points[p][0] << ", " << points[p][1] << ")";
        if (std::bit_cast<std::uint32_t>(full[p]) != std::bit_cast<std::uint32_t>(batch[p]))
            return false;
    }
    return true;
}

// Over random boxes of x[1], x[2] (x[3] fixed): wherever the bound is proven and its decisions
// shorten the program, the shortened program gives the same float, bit for bit, at random
// points of the box (point by point and in batches); bounding it again over half the box gives
// a range inside the first, and the decisions there shorten it further where they can, again
// with the same floats.
Shortening compareInBoxes(const std::string& source, float reach = 4.0f, int boxes = 300) {
    Compiled c = compile(source);
    EXPECT_TRUE(c.errors.empty()) << source << (c.errors.empty() ? "" : c.errors[0].message);
    Shortening s;
    if (c.objects.empty()) return s;
    const CompiledObject& object = *c.objects.back();
    s.fewest = object.decoded->code.size();
    std::mt19937 rng(777);
    IntervalScratch scratch;
    std::vector<std::int8_t> decisions;
    for (int b = 0; b < boxes; ++b) {
        testing::Box box = testing::randomBox(rng, reach);
        box.axis[2] = {0.5f, 0.5f};
        Interval range;
        if (!boundObject(object, nullptr, box.axis, range, scratch, &decisions)) continue;
        DecodedProgram shorter;
        if (!shortenProgram(*object.decoded, decisions, shorter)) continue;
        ++s.shortened;
        EXPECT_LT(shorter.code.size(), object.decoded->code.size());
        s.fewest = std::min(s.fewest, shorter.code.size());
        if (conditionalJumps(shorter) < conditionalJumps(*object.decoded)) ++s.branchesCut;
        if (!sameInBox(object, shorter, box.axis, rng, source)) return s;
        s.points += 30;
        const CompiledObject cut = withProgram(object, shorter);
        Interval inner;
        const float middle = box.axis[0].lo + (box.axis[0].hi - box.axis[0].lo) / 2;
        const Interval half[3] = {{box.axis[0].lo, middle}, box.axis[1], box.axis[2]};
        if (boundObject(object, &shorter, half, inner, scratch, &decisions)) {
            EXPECT_GE(inner.lo, range.lo) << source;
            EXPECT_LE(inner.hi, range.hi) << source;
            DecodedProgram shortest;
            if (shortenProgram(shorter, decisions, shortest)) {
                ++s.again;
                EXPECT_LT(shortest.code.size(), shorter.code.size());
                if (!sameInBox(object, shortest, half, rng, source, 20)) return s;
            }
        }
    }
    return s;
}

// A union of count discs and boxes spread over [-4, 4]^2, as max of clauses.
std::string generatedUnion(int count) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> at(-4.0f, 4.0f), size(0.05f, 0.4f);
    std::string f = "-1";
    for (int i = 0; i < count; ++i) {
        const std::string cx = std::to_string(at(rng)), cy = std::to_string(at(rng)),
                          r = std::to_string(size(rng));
        const std::string clause =
            i % 2 == 0 ? r + " - sqrt((x[1] - " + cx + ")^2 + (x[2] - " + cy + ")^2)"
                       : "min(" + r + " - abs(x[1] - " + cx + "), " + r + " - abs(x[2] - " + cy +
                             "))";
        f = "max(" + f + ", " + clause + ")";
    }
    return "u(x[3], a[0]) {\n  u = " + f + ";\n}\n";
}

TEST(ProgramShortening, DecidedMinAndMaxGiveTheFullProgramsFloatsInsideTheirBox) {
    for (const char* body :
         {"f = max(x[1], x[2] + 3);", "f = min(x[1] * x[1], 2 - x[2]);",
          "f = max(min(x[1], 1 - x[2]), x[2] - 2) + min(x[1], -x[1]);",
          "f = max(x[1] / (x[2] * x[2] + 1), min(x[1], x[2]) - 3) * 2;",
          "f = min(max(sqrt(x[1] * x[1] + x[2] * x[2]) - 1, -x[1]), max(x[2], x[1] + 4));",
          // a decided max ahead of a branch: the jumps after it move
          "t = max(x[1], x[2] + 5); if t > 1 then r = min(t, x[2]); else r = max(t, -x[1]); endif; f = r;",
          // inside a loop the decision must hold on every round
          "s = 0; i = 1; while i <= 3 loop s = max(s, x[1] * i - x[2]); i = i + 1; endloop; f = s;",
          // set operations are left as they are
          "f = max(x[1] & x[2], x[2] + 6) | min(x[1], 3 + x[2]);"}) {
        const std::string source = std::string("f(x[3], a[0]) {\n") + body + "\n}\n";
        const Shortening s = compareInBoxes(source);
        EXPECT_GT(s.shortened, 10) << body;
        EXPECT_GT(s.points, 300) << body;
    }
}

TEST(ProgramShortening, AGeneratedUnionShrinksToTheClausesNearTheBox) {
    const std::string source = generatedUnion(80);
    const Shortening s = compareInBoxes(source, 4.0f, 100);
    EXPECT_GT(s.shortened, 25);
    Compiled c = compile(source);
    ASSERT_FALSE(c.objects.empty());
    EXPECT_LT(s.fewest * 10, c.objects.back()->decoded->code.size()); // most clauses left out
}

TEST(ProgramShortening, DecidedConditionsKeepOnlyTheBranchTaken) {
    struct Case {
        const char* body;
        bool nested; // boxes inside shortened ones shorten again
    };
    for (const Case& c : std::initializer_list<Case>{
             {"if x[1] > 0.5 then r = x[1] - x[2]; else r = x[2] * x[2] - 1; endif; f = r;", false},
             {"r = x[2]; if x[1] < -1 then r = r - x[1]; endif; f = r * 2;", false},
             // nested: the inner condition is decided on smaller boxes
             {"if x[1] > 0 then if x[2] > 1 then r = x[1]; else r = x[2] - x[1]; endif; "
              "else r = min(x[1], x[2]) + 1; endif; f = r;",
              true},
             // decided in every round of a loop; the loop itself stays
             {"s = 0; i = 1; while i <= 3 loop if x[1] > 0 then s = s + x[2] * i; "
              "else s = s - i; endif; i = i + 1; endloop; f = s;",
              false},
             // a loop never entered where x[1] < 1: its condition is a jump's landing
             {"s = x[2]; i = 1; while i <= x[1] loop s = s + i; i = i + 1; endloop; f = s;",
              false},
             // a store only the dropped branch makes, read after the branches
             {"r = 1; if x[1] + x[2] > 1 then r = 2 - x[1]; q = 3; else q = x[2]; endif; "
              "f = r * q;",
              false},
             // a decided max inside a decided branch, the condition itself with a max
             {"if max(x[1], x[2]) > 2 then r = max(x[1] - 4, 1 - x[2]); else r = x[1] + 1; "
              "endif; f = r;",
              true}}) {
        const std::string source = std::string("f(x[3], a[0]) {\n") + c.body + "\n}\n";
        const Shortening s = compareInBoxes(source);
        EXPECT_GT(s.shortened, 10) << c.body;
        EXPECT_GT(s.branchesCut, 10) << c.body;
        EXPECT_GT(s.points, 300) << c.body;
        if (c.nested) {
            EXPECT_GT(s.again, 3) << c.body;
        }
    }
}

TEST(ProgramShortening, AssignmentChainsLeaveOutTheStatementsOfLosingClauses) {
    // u = max(u, clause) over many clauses: where the clause loses, u = u is left out too.
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> at(-4.0f, 4.0f);
    std::string body = "u = -1;\n";
    for (int i = 0; i < 60; ++i)
        body += "u = max(u, 0.3 - abs(x[1] - " + std::to_string(at(rng)) + ") - abs(x[2] - " +
                std::to_string(at(rng)) + "));\n";
    const std::string source = "f(x[3], a[0]) {\n" + body + "f = u;\n}\n";
    const Shortening s = compareInBoxes(source, 4.0f, 100);
    EXPECT_GT(s.shortened, 25);
    Compiled c = compile(source);
    ASSERT_FALSE(c.objects.empty());
    EXPECT_LT(s.fewest * 10, c.objects.back()->decoded->code.size());
}

// A call may fail or store, so neither a condition nor an operand holding one is dropped.
TEST(ProgramShortening, ConditionsAndOperandsWithCallsAreKept) {
    for (const char* body : {"if g(x, r) < 0 then t = x[2]; else t = x[3]; endif; f = t;",
                             "f = max(x[1], g(x, r));"}) {
        Compiled c = compile(std::string("g(x[3], a[1]) { g = x[1] - a[1]; }\n"
                                         "f(x[3], a[0]) { array r[1]; r = [100]; ") +
                             body + " }\n");
        ASSERT_TRUE(c.errors.empty()) << c.errors[0].message;
        const CompiledObject& object = *c.objects.back();
        const Interval inputs[3] = {{0.0f, 1.0f}, {0.0f, 1.0f}, {0.0f, 0.0f}};
        IntervalScratch scratch;
        std::vector<std::int8_t> decisions;
        Interval range;
        ASSERT_TRUE(boundObject(object, nullptr, inputs, range, scratch, &decisions)) << body;
        DecodedProgram shorter;
        EXPECT_FALSE(shortenProgram(*object.decoded, decisions, shorter)) << body;
    }
}

TEST(ProgramShortening, TiesAndUnprovenOperandsAreNeverDecided) {
    // Equal operands (also 0 against -0) are ties: which one min and max return is the
    // interpreter's rule, so neither is left out.
    Compiled c = compile("f(x[3], a[0]) {\n f = max(x[1], 1) + min(x[2], 0) + max(x[2], -0);\n}\n");
    ASSERT_TRUE(c.errors.empty());
    const CompiledObject& object = *c.objects.back();
    const Interval inputs[3] = {{1.0f, 1.0f}, {-0.0f, -0.0f}, {0.0f, 0.0f}};
    IntervalScratch scratch;
    std::vector<std::int8_t> decisions;
    Interval range;
    ASSERT_TRUE(boundObject(object, nullptr, inputs, range, scratch, &decisions));
    int undecided = 0;
    for (std::int8_t d : decisions) undecided += d == kUndecided ? 1 : 0;
    EXPECT_EQ(undecided, 3);
    DecodedProgram shorter;
    EXPECT_FALSE(shortenProgram(*object.decoded, decisions, shorter));
    // Touching ranges are not separated either.
    const Interval touching[3] = {{0.0f, 1.0f}, {0.0f, 3.0f}, {0.0f, 0.0f}};
    ASSERT_TRUE(boundObject(object, nullptr, touching, range, scratch, &decisions));
    EXPECT_FALSE(shortenProgram(*object.decoded, decisions, shorter));
    // Decisions of a different length (another program's) shorten nothing.
    decisions.assign(3, kFirstWins);
    EXPECT_FALSE(shortenProgram(*object.decoded, decisions, shorter));
}


} // namespace
} // namespace lv::lang
