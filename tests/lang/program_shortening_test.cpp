#include "lang/program_shortening.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "interval_sweep.h"
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
};

// Over random boxes of x[1], x[2] (x[3] fixed): wherever the bound is proven and its decisions
// shorten the program, the shortened program gives the same float, bit for bit, at random
// points of the box; and bounding it again over a box inside gives a range inside the first.
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
        const CompiledObject cut = withProgram(object, shorter);
        for (int p = 0; p < 30; ++p) {
            const std::vector<float> x = {testing::pointIn(box.axis[0], rng, p % 7),
                                          testing::pointIn(box.axis[1], rng, (p / 2) % 7), 0.5f};
            const testing::Outcome full = testing::run(object, x), part = testing::run(cut, x);
            EXPECT_TRUE(full.ok) << source << ": a proven box failed";
            EXPECT_TRUE(part.ok) << source;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(full.value),
                      std::bit_cast<std::uint32_t>(part.value))
                << source << " at (" << x[0] << ", " << x[1] << "): " << full.value << " vs "
                << part.value;
            if (!full.ok || !part.ok || std::bit_cast<std::uint32_t>(full.value) !=
                                            std::bit_cast<std::uint32_t>(part.value))
                return s;
            ++s.points;
        }
        Interval inner;
        const float middle = box.axis[0].lo + (box.axis[0].hi - box.axis[0].lo) / 2;
        const Interval half[3] = {{box.axis[0].lo, middle}, box.axis[1], box.axis[2]};
        if (boundObject(cut, nullptr, half, inner, scratch, nullptr)) {
            EXPECT_GE(inner.lo, range.lo) << source;
            EXPECT_LE(inner.hi, range.hi) << source;
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

TEST(ProgramShortening, OperandsWithCallsAreKept) {
    Compiled c = compile("g(x[3], a[1]) { g = x[1] - a[1]; }\n"
                         "f(x[3], a[0]) { array r[1]; r = [100]; f = max(x[1], g(x, r)); }\n");
    ASSERT_TRUE(c.errors.empty()) << c.errors[0].message;
    const CompiledObject& object = *c.objects.back();
    const Interval inputs[3] = {{0.0f, 1.0f}, {0.0f, 1.0f}, {0.0f, 0.0f}};
    IntervalScratch scratch;
    std::vector<std::int8_t> decisions;
    Interval range;
    ASSERT_TRUE(boundObject(object, nullptr, inputs, range, scratch, &decisions));
    DecodedProgram shorter;
    EXPECT_FALSE(shortenProgram(*object.decoded, decisions, shorter));
}

} // namespace
} // namespace lv::lang
