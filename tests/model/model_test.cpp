#include "model/model.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/model/fake_sources.h"

namespace lv::model {
namespace {

using testing::FakeSources;

class ModelTest : public ::testing::Test {
protected:
    FakeSources sources;
    Model model;

    void SetUp() override {
        sources.texts["/src/shapes.lv"] = testing::kShapes;
        sources.texts["/src/bad.lv"] = "p(x[3], a[0]) { p = x[1] +; }\n";
    }

    ModelObject& add(const std::string& name, const std::string& function) {
        ModelObject* o = model.addObject(sources, name, function, "/src/shapes.lv");
        EXPECT_NE(o, nullptr);
        return *o;
    }
};

std::vector<int> kinds(const ParameterList& list) {
    std::vector<int> out;
    for (const ParameterBinding& b : list.bindings) out.push_back(b.kind);
    return out;
}

TEST_F(ModelTest, NewObjectsGetTheDefaults) {
    ModelObject& ball = add("", "ball");
    EXPECT_EQ(ball.name, "ball");
    EXPECT_EQ(ball.sourcePath, "/src/shapes.lv");
    EXPECT_EQ(kinds(ball.xBindings), (std::vector<int>{XAxis, YAxis, ZAxis}));
    EXPECT_EQ(ball.aBindings.count(), 1);
    EXPECT_EQ(ball.aBindings.bindings[0].kind, Constant);
    EXPECT_EQ(ball.aBindings.bindings[0].value, 0.0f);
    EXPECT_EQ(ball.customBox, 0);
    EXPECT_EQ(ball.grid, (std::array<int, 3>{25, 25, 25}));
    EXPECT_EQ(ball.polyColour, (Rgb{0, 255, 0}));
    EXPECT_EQ(ball.rayColour, (Rgb{0, 255, 0}));
    EXPECT_EQ(ball.transform.scale, (std::array<float, 3>{1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(ball.autoMaxGradient, 1);
    EXPECT_EQ(ball.maxGradient, 10.0f);
    EXPECT_EQ(ball.accuracy, 0.001f);

    ModelObject& quad = add("q", "quad");
    EXPECT_EQ(kinds(quad.xBindings), (std::vector<int>{XAxis, YAxis, ZAxis, Constant}));
    EXPECT_EQ(quad.xBindings.xIndex, 0);
    EXPECT_EQ(quad.xBindings.yIndex, 1);
    EXPECT_EQ(quad.xBindings.zIndex, 2);
    EXPECT_EQ(quad.aBindings.xIndex, -1);
    EXPECT_EQ(model.count(), 2);
}

TEST_F(ModelTest, AddObjectRefusesWithoutChangingTheModel) {
    add("Ball", "ball");
    add("ball", "ball"); // differs in letter case only: a second object
    EXPECT_EQ(model.addObject(sources, "ball", "quad", "/src/shapes.lv"), nullptr);
    EXPECT_EQ(model.addObject(sources, "", "Ball", "/src/shapes.lv"), nullptr); // exact names
    EXPECT_EQ(model.addObject(sources, "n", "none", "/src/shapes.lv"), nullptr);
    EXPECT_EQ(model.addObject(sources, "n", "p", "/src/bad.lv"), nullptr);
    EXPECT_EQ(model.addObject(sources, "n", "ball", "/src/missing.lv"), nullptr);
    EXPECT_EQ(model.count(), 2);
    EXPECT_EQ(model.findObject("Ball"), &model.object(0));
    EXPECT_EQ(model.findObject("BALL"), nullptr);
}

TEST_F(ModelTest, AssignAxisSwapsOrFreesTheOldHolder) {
    ModelObject& q = add("q", "quad");
    ParameterList& x = q.xBindings;
    x.bindings[0].value = 7.0f;
    ASSERT_TRUE(setValue(x, 3, 2.5f));

    ASSERT_TRUE(assignAxis(q, XAxis, 1)); // x[2] held Y: the two swap
    EXPECT_EQ(kinds(x), (std::vector<int>{YAxis, XAxis, ZAxis, Constant}));
    EXPECT_EQ(x.xIndex, 1);
    EXPECT_EQ(x.yIndex, 0);

    ASSERT_TRUE(assignAxis(q, XAxis, 3)); // x[4] was a constant: x[2] becomes one
    EXPECT_EQ(kinds(x), (std::vector<int>{YAxis, Constant, ZAxis, XAxis}));
    EXPECT_EQ(x.xIndex, 3);
    EXPECT_EQ(x.bindings[3].value, 2.5f); // kept while it holds X

    ASSERT_TRUE(assignAxis(q, YAxis, 0)); // already there
    EXPECT_EQ(kinds(x), (std::vector<int>{YAxis, Constant, ZAxis, XAxis}));
    EXPECT_EQ(x.bindings[0].value, 7.0f);

    EXPECT_FALSE(assignAxis(q, Constant, 1));
    EXPECT_FALSE(assignAxis(q, XAxis, 4));
    EXPECT_FALSE(assignAxis(q, XAxis, -1));
}

TEST_F(ModelTest, SetKindNeverTakesAnAxisAway) {
    ModelObject& q = add("q", "quad");
    EXPECT_FALSE(setKind(q.xBindings, 0, Constant)); // holds X
    EXPECT_FALSE(setKind(q.xBindings, 3, XAxis));    // axes move only through assignAxis
    EXPECT_FALSE(setKind(q.xBindings, 4, T1));
    EXPECT_TRUE(setKind(q.xBindings, 3, T2));
    EXPECT_TRUE(setKind(q.aBindings, 1, T3));
    EXPECT_EQ(kinds(q.xBindings), (std::vector<int>{XAxis, YAxis, ZAxis, T2}));
    EXPECT_FALSE(setValue(q.aBindings, 2, 1.0f));
}

TEST_F(ModelTest, TimeUsageReportsEveryTimeVariableBound) {
    EXPECT_FALSE(model.timeUsage().t1 || model.timeUsage().t2 || model.timeUsage().t3);
    ModelObject& q = add("q", "quad");
    add("b", "ball");
    setKind(q.aBindings, 1, T3);
    TimeUsage used = model.timeUsage();
    EXPECT_FALSE(used.t1);
    EXPECT_FALSE(used.t2);
    EXPECT_TRUE(used.t3);
    setKind(model.object(1).aBindings, 0, T1);
    used = model.timeUsage();
    EXPECT_TRUE(used.t1 && used.t3 && !used.t2);
}

TEST_F(ModelTest, FrameZeroUsesTheTimeDefaultsAndLaterFramesTheirRow) {
    ModelObject& q = add("q", "quad");
    setKind(q.xBindings, 3, T1);
    setValue(q.aBindings, 0, 5.0f);
    setKind(q.aBindings, 1, T2);
    model.settings.timeDefaults = {0.25f, 0.125f, 0.0f};

    ASSERT_EQ(model.prepareFrame(0, 9.0f, 9.0f, 9.0f), 1);
    ASSERT_EQ(model.slots().size(), 1u);
    EXPECT_EQ(q.xBindings.t1, 0.25f);
    // x + 10 y + 100 z + 1000 T1 + 5 - T2
    EXPECT_EQ(evaluateAt(model.slots()[0], 1.0f, 2.0f, 3.0f), 321.0f + 250.0f + 5.0f - 0.125f);
    model.releaseFrame();
    EXPECT_TRUE(model.slots().empty());
    EXPECT_TRUE(model.sceneText().empty());

    ASSERT_EQ(model.prepareFrame(1, 0.5f, 2.0f, 0.0f), 1);
    EXPECT_EQ(q.aBindings.t1, 0.5f);
    EXPECT_EQ(evaluateAt(model.slots()[0], 0.0f, 0.0f, 0.0f), 500.0f + 5.0f - 2.0f);
}

TEST_F(ModelTest, EvaluationFollowsTheAxisAssignment) {
    ModelObject& q = add("q", "quad");
    assignAxis(q, XAxis, 3); // X now drives x[4]; x[1] is the constant 0
    assignAxis(q, ZAxis, 0); // Z drives x[1]
    ASSERT_EQ(model.prepareFrame(0, 0, 0, 0), 1);
    EXPECT_EQ(evaluateAt(model.slots()[0], 1.0f, 2.0f, 3.0f), 1000.0f + 20.0f + 3.0f);
}

TEST_F(ModelTest, RunTimeErrorsGiveAFiniteOutsideValueAndAreCounted) {
    add("d", "div");
    ASSERT_EQ(model.prepareFrame(0, 0, 0, 0), 1);
    EvalSlot& slot = model.slots()[0];
    EXPECT_EQ(evaluateAt(slot, 2.0f, 0.0f, 0.0f), 0.5f);
    EXPECT_EQ(evaluateAt(slot, 0.0f, 0.0f, 0.0f), failedEvaluationValue());
    EXPECT_EQ(evaluateAt(slot, 0.0f, 1.0f, 0.0f), failedEvaluationValue());
    EXPECT_LT(failedEvaluationValue(), -1e12f);
    EXPECT_EQ(slot.failures, 2);
    EXPECT_STREQ(slot.firstError.message, "Division by zero");
    EXPECT_EQ(slot.firstError.line, 3);
}

TEST_F(ModelTest, SlotCopiesEvaluateOnSeveralThreadsAtOnce) {
    ModelObject& b = add("b", "ball");
    setValue(b.aBindings, 0, 2.0f);
    ASSERT_EQ(model.prepareFrame(0, 0, 0, 0), 1);
    std::vector<float> results(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t, slot = model.slots()[0]]() mutable {
            float sum = 0.0f;
            for (int i = 0; i < 2000; ++i) sum += evaluateAt(slot, 0.0f, 0.0f, float(t) * 0.5f);
            results[static_cast<std::size_t>(t)] = sum / 2000.0f;
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(results, (std::vector<float>{4.0f, 3.75f, 3.0f, 1.75f}));
}

TEST_F(ModelTest, CopiesSurviveChangesOfTheOriginal) {
    ModelObject& b = add("b", "ball");
    setValue(b.aBindings, 0, 3.0f);
    model.setCurrentObject(&b);
    std::unique_ptr<ModelObject> objectCopy = copyModelObject(b);
    std::unique_ptr<Model> copy = model.copyModel();
    EXPECT_EQ(copy->currentObject(), nullptr);

    setValue(b.aBindings, 0, 1.0f);
    b.transform.scale[0] = 4.0f;
    model.settings.cameraPosition.x = -1.0f;
    model.removeAll();
    EXPECT_EQ(model.currentObject(), nullptr);

    EXPECT_EQ(objectCopy->aBindings.bindings[0].value, 3.0f);
    ASSERT_EQ(copy->count(), 1);
    EXPECT_EQ(copy->object(0).transform.scale[0], 1.0f);
    EXPECT_EQ(copy->settings.cameraPosition.x, 10.0f);
    ASSERT_EQ(copy->prepareFrame(0, 0, 0, 0), 1);
    EXPECT_EQ(evaluateAt(copy->slots()[0], 0.0f, 0.0f, 0.0f), 9.0f);
}

TEST_F(ModelTest, RemovingObjectsKeepsTheCurrentObjectValid) {
    model.removeAll(); // harmless on an empty model
    ModelObject& a = add("a", "ball");
    ModelObject& b = add("b", "ball");
    ASSERT_TRUE(model.setCurrentObject(&b));
    model.removeObject(&a);
    EXPECT_EQ(model.currentObject(), &b);
    model.removeObject(&b);
    EXPECT_EQ(model.currentObject(), nullptr);
    EXPECT_EQ(model.count(), 0);

    Model other;
    ModelObject* foreign = other.appendObject(std::make_unique<ModelObject>());
    EXPECT_FALSE(model.setCurrentObject(foreign));
    model.removeObject(foreign); // not ours: nothing happens
    EXPECT_EQ(other.count(), 1);
}

TEST_F(ModelTest, ReplaceObjectsStoresEditedCopiesInOrderWithTheirSelection) {
    add("b", "ball");
    add("q", "quad");
    ASSERT_TRUE(model.setCurrentObject(&model.object(0)));
    std::vector<std::unique_ptr<ModelObject>> edited;
    for (int i = 0; i < model.count(); ++i) edited.push_back(copyModelObject(model.object(i)));
    ASSERT_TRUE(assignAxis(*edited[1], XAxis, 3));
    edited[1]->transform.rotate[2] = 45.0f;

    ModelObject* current = model.replaceObjects(edited, edited[1].get());
    ASSERT_EQ(model.count(), 2);
    EXPECT_EQ(model.object(0).name, "b");
    EXPECT_EQ(&model.object(1), current);
    EXPECT_EQ(model.currentObject(), current);
    EXPECT_EQ(kinds(current->xBindings), (std::vector<int>{Constant, YAxis, ZAxis, XAxis}));
    EXPECT_EQ(current->transform.rotate[2], 45.0f);
    // The model owns new copies: later edits of the working copies do not reach it.
    EXPECT_NE(current, edited[1].get());
    edited[1]->transform.rotate[2] = 0.0f;
    EXPECT_EQ(current->transform.rotate[2], 45.0f);

    // Replacing by copies of its own objects, with no selection, leaves no current object.
    std::vector<std::unique_ptr<ModelObject>> same;
    for (int i = 0; i < model.count(); ++i) same.push_back(copyModelObject(model.object(i)));
    EXPECT_EQ(model.replaceObjects(same, nullptr), nullptr);
    EXPECT_EQ(model.currentObject(), nullptr);
    EXPECT_EQ(model.count(), 2);
    ASSERT_EQ(model.prepareFrame(0, 0, 0, 0), 1);
    model.releaseFrame();
    EXPECT_EQ(model.replaceObjects({}, nullptr), nullptr);
    EXPECT_EQ(model.count(), 0);
}

TEST(RgbTest, OutOfRangeComponentsAreRefused) {
    Rgb c{1, 2, 3};
    EXPECT_FALSE(c.set(0, 256, 0));
    EXPECT_FALSE(c.set(-1, 0, 0));
    EXPECT_EQ(c, (Rgb{1, 2, 3}));
    EXPECT_TRUE(c.set(0, 255, 128));
    EXPECT_EQ(c, (Rgb{0, 255, 128}));
    EXPECT_DOUBLE_EQ(channel(255), 1.0);
}

TEST(ModelSettingsTest, Defaults) {
    ModelSettings s;
    EXPECT_EQ(s.defaultBox.xmin, -10.0f);
    EXPECT_EQ(s.defaultBox.zmax, 10.0f);
    EXPECT_EQ(s.sky.y, 1.0f);
    EXPECT_EQ(s.rayImage.width, 160);
    EXPECT_EQ(s.polyImage.height, 120);
    EXPECT_EQ(s.rayBackground, (Rgb{255, 255, 255}));
    EXPECT_EQ(s.surfaceKind, SurfaceSolid);
    EXPECT_EQ(s.flatShading + s.lightingOn + s.ditheringOn + s.antialiasingOn, 2);
}

} // namespace
} // namespace lv::model
