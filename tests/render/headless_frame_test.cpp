#include "render/headless_frame.h"

#include <gtest/gtest.h>

#include <cmath>

#include "render/scene.h"

namespace lv::render {
namespace {

FrameBounds sphere(double x, double y, double z, double r) {
    FrameBounds b;
    b.empty = false;
    b.min = {x - r, y - r, z - r};
    b.max = {x + r, y + r, z + r};
    b.centre = {x, y, z};
    b.radius = r;
    return b;
}

TEST(HeadlessFrame, BoundsMergeIntoTheSmallestSphereHoldingBoth) {
    FrameBounds a = sphere(0, 0, 0, 1);
    a.merge(FrameBounds{}); // nothing to add
    EXPECT_EQ(a.radius, 1.0);
    a.merge(sphere(4, 0, 0, 1));
    EXPECT_DOUBLE_EQ(a.radius, 3.0);
    EXPECT_DOUBLE_EQ(a.centre[0], 2.0);
    EXPECT_EQ(a.min[0], -1.0);
    EXPECT_EQ(a.max[0], 5.0);
    // A sphere inside leaves it; one holding it replaces it.
    a.merge(sphere(2.5, 0, 0, 0.5));
    EXPECT_DOUBLE_EQ(a.radius, 3.0);
    a.merge(sphere(2, 0, 0, 10));
    EXPECT_EQ(a.radius, 10.0);
    FrameBounds empty;
    empty.merge(sphere(1, 2, 3, 4));
    EXPECT_FALSE(empty.empty);
    EXPECT_EQ(empty.centre[2], 3.0);
}

TEST(HeadlessFrame, FittedCameraKeepsItsDirectionAndHoldsTheSphere) {
    model::ModelSettings s;
    s.cameraPosition = {0.0f, 0.0f, 10.0f};
    s.lookAt = {0.0f, 0.0f, 0.0f};
    s.polyImage = {200, 100};
    fitCamera(s, sphere(1, 2, 3, 2));
    EXPECT_EQ(s.lookAt.x, 1.0f);
    EXPECT_EQ(s.lookAt.z, 3.0f);
    EXPECT_EQ(s.cameraPosition.x, 1.0f);
    EXPECT_EQ(s.cameraPosition.y, 2.0f);
    const double distance = s.cameraPosition.z - 3.0;
    // The shorter side's half angle sees the sphere with its tenth to spare.
    const double halfAngle = std::atan(kHalfField * 100.0 / 200.0);
    EXPECT_GE(distance * std::sin(halfAngle), 2.2 - 1e-5);

    // Camera on its look-at point: the diagonal view.
    s.cameraPosition = s.lookAt;
    fitCamera(s, sphere(0, 0, 0, 1));
    EXPECT_GT(s.cameraPosition.x, 0.0f);
    EXPECT_FLOAT_EQ(s.cameraPosition.x, s.cameraPosition.y);
    EXPECT_FLOAT_EQ(s.cameraPosition.y, s.cameraPosition.z);
    const model::Vec3 before = s.cameraPosition;
    fitCamera(s, FrameBounds{});
    EXPECT_EQ(s.cameraPosition.x, before.x);
}

TEST(HeadlessFrame, TightenedBoxIsTheBoundsAndOneCellWithinTheOldBox) {
    model::ModelSettings s;
    s.defaultBox = {-10.0f, -10.0f, -10.0f, 10.0f, 10.0f, 10.0f};
    model::ModelObject o;
    o.grid = {10, 20, 10}; // cells of 2, 1 and 2
    tightenBox(o, s, FrameBounds{});
    EXPECT_EQ(o.customBox, 0);
    FrameBounds b = sphere(0, 0, 0, 1);
    b.max[2] = 9.5; // one cell above reaches past the box
    tightenBox(o, s, b);
    EXPECT_EQ(o.customBox, 1);
    EXPECT_EQ(o.ownBox.xmin, -3.0f);
    EXPECT_EQ(o.ownBox.xmax, 3.0f);
    EXPECT_EQ(o.ownBox.ymin, -2.0f);
    EXPECT_EQ(o.ownBox.zmax, 10.0f);
}

} // namespace
} // namespace lv::render
