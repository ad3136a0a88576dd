// Bounds of boxes inside a proven box run the program that box's decided min and max shortened.
#include <gtest/gtest.h>

#include <random>

#include "model/eval_bound.h"
#include "model/model.h"
#include "tests/model/fake_sources.h"

namespace lv::model {
namespace {

TEST(BoundLevels, BoxesInsideAProvenBoxAreBoundedSoundlyWithItsShortenedProgram) {
    testing::FakeSources sources;
    sources.texts["/src/o.lv"] =
        "f(x[3], a[0]) {\n"
        "  f = max(x[1] - 10, min(x[2], 3 - x[1])) + max(x[2] + 20, x[1]) - 20;\n"
        "}\n";
    Model model;
    ModelObject* object = model.addObject(sources, "f", "f", "/src/o.lv");
    ASSERT_NE(object, nullptr);
    assignAxis(*object, XAxis, 0);
    assignAxis(*object, YAxis, 1);
    assignAxis(*object, ZAxis, 2);
    ASSERT_EQ(model.prepareFrame(0, 0, 0, 0), 1);
    EvalSlot& slot = model.slots()[0];
    const std::size_t full = slot.object->decoded->code.size();

    BoundScratch scratch;
    lang::Interval parent, child, plain;
    const float plo[3] = {-1, -1, -1}, phi[3] = {1, 1, 1};
    ASSERT_TRUE(boundAt(slot, plo, phi, parent, scratch));
    EXPECT_EQ(scratch.depth, 1u);
    // The second max is decided, the first not: the child runs a shorter program.
    const float clo[3] = {0, -1, 0}, chi[3] = {0.5f, 0, 1};
    ASSERT_TRUE(boundAt(slot, clo, chi, child, scratch));
    EXPECT_EQ(scratch.depth, 2u);
    ASSERT_TRUE(scratch.levels[0]->shorter);
    EXPECT_LT(scratch.levels[0]->shortened.code.size(), full);
    ASSERT_TRUE(boundAt(slot, clo, chi, plain));
    EXPECT_EQ(child.lo, plain.lo);
    EXPECT_EQ(child.hi, plain.hi);
    EXPECT_GE(child.lo, parent.lo);
    EXPECT_LE(child.hi, parent.hi);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> t(0.0f, 1.0f);
    for (int i = 0; i < 200; ++i) {
        const float v = evaluateAt(slot, clo[0] + t(rng) * 0.5f, -t(rng), t(rng));
        EXPECT_GE(v, child.lo);
        EXPECT_LE(v, child.hi);
    }
    // A box outside the proven ones leaves their levels: it is bounded with the full program.
    const float olo[3] = {20, -1, -1}, ohi[3] = {21, 1, 1};
    lang::Interval outside, outsidePlain;
    ASSERT_TRUE(boundAt(slot, olo, ohi, outside, scratch));
    EXPECT_EQ(scratch.depth, 1u);
    ASSERT_TRUE(boundAt(slot, olo, ohi, outsidePlain));
    EXPECT_EQ(outside.lo, outsidePlain.lo);
    EXPECT_EQ(outside.hi, outsidePlain.hi);
    EXPECT_GT(outside.hi, 0.0f); // x[1] wins the second max there, unlike inside
}

} // namespace
} // namespace lv::model
