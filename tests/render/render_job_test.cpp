#include "render/render_job.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <thread>

#include "render/render_worker.h"
#include "render/time_curve.h"
#include "tests/render/render_test_models.h"

namespace lv::render {
namespace {

using testing::addBall;
using testing::addGrowing;

std::vector<std::string> renderCaptions(RenderJob& job) {
    std::vector<std::string> captions;
    job.setCaptionListener([&](const std::string& c) { captions.push_back(c); });
    job.createWindow();
    job.render();
    return captions;
}

TEST(RenderJobProgress, CaptionsChangeOnlyWhenTheIntegerPercentageChanges) {
    model::Model m;
    addBall(m, "ball", 4).grid = {2, 2, 25};
    RenderJob job(0, 0, 0, 0, true);
    ASSERT_TRUE(job.setModel(m));
    EXPECT_EQ(job.countSteps(), 25);
    std::vector<std::string> captions = renderCaptions(job);
    ASSERT_EQ(captions.size(), 27u);
    for (int i = 0; i <= 25; ++i)
        EXPECT_EQ(captions[static_cast<std::size_t>(i)],
                  "Rendering " + std::to_string(i * 4) + "%");
    EXPECT_EQ(captions.back(), "Polygonized Model");
    EXPECT_EQ(job.caption(), "Polygonized Model");
    EXPECT_TRUE(job.isRendered());
    EXPECT_FALSE(job.isBusy());

    // 300 slices over two objects: each percentage exactly once, in order.
    addBall(m, "second", 4).grid = {2, 2, 275};
    ASSERT_TRUE(job.setModel(m));
    captions = renderCaptions(job);
    ASSERT_EQ(captions.size(), 102u);
    EXPECT_EQ(captions[1], "Rendering 1%");
    EXPECT_EQ(captions[100], "Rendering 100%");
}

TEST(RenderJobProgress, PercentageNeverDividesByZero) {
    EXPECT_EQ(progressPercent(0, 0), 100);
    EXPECT_EQ(progressPercent(7, 3), 100);
    EXPECT_EQ(progressPercent(1, 3), 33);
    model::Model empty;
    RenderJob job(0, 0, 0, 0, true);
    ASSERT_TRUE(job.setModel(empty));
    EXPECT_EQ(renderCaptions(job),
              (std::vector<std::string>{"Rendering 100%", "Polygonized Model"}));
}

TEST(RenderJobState, WithoutAModelCopyTheRenderIsSkipped) {
    RenderJob job(0, 0, 0, 0, true);
    EXPECT_TRUE(renderCaptions(job).empty());
    EXPECT_EQ(job.state(), JobState::NotRendered);
    EXPECT_FALSE(job.captureImage());
}

TEST(RenderJobState, TheCopyIsUnaffectedByLaterEditsOfTheModel) {
    model::Model m;
    m.settings.polyImage = {40, 30};
    addBall(m, "ball", 8);
    RenderJob job(0, 0, 0, 0, true);
    ASSERT_TRUE(job.setModel(m));
    m.object(0).polyColour = {255, 0, 0};
    m.settings.cameraPosition = {100, 0, 0};
    m.removeAll();
    ASSERT_NE(job.modelCopy(), nullptr);
    ASSERT_EQ(job.modelCopy()->count(), 1);
    EXPECT_EQ(job.modelCopy()->object(0).polyColour, (model::Rgb{0, 255, 0}));
    job.createWindow();
    job.render();
    ASSERT_EQ(job.scene()->meshes().size(), 1u);
    EXPECT_GT(job.scene()->meshes()[0].polygonCount(), 0);
    EXPECT_EQ(job.window()->clientWidth(), 40);
    EXPECT_TRUE(job.isVisible());
    job.toggleVisible();
    EXPECT_FALSE(job.isVisible());
}

TEST(RenderJobState, TimeValuesAreComparedExactly) {
    RenderJob job(3, 0.5, 0.25, 1.0 / 3.0, false);
    EXPECT_TRUE(job.hasTimeValues(0.5, 0.25, 1.0 / 3.0));
    EXPECT_FALSE(job.hasTimeValues(0.5, 0.25, 0.333));
    EXPECT_FALSE(job.isInteractive());
}

TEST(RenderJobCapture, CapturesA32BitBottomUpBitmapOfTheImageSize) {
    LV_REQUIRE_GL();
    model::Model m;
    m.settings.polyImage = {64, 48};
    m.settings.cameraPosition = {0, 0, 20};
    m.settings.polyBackground = {0, 0, 255};
    addBall(m, "ball", 10).transform.translate = {0.0f, 6.0f, 0.0f}; // in the upper half
    RenderJob job(0, 0, 0, 0, true);
    ASSERT_TRUE(job.setModel(m));
    job.createWindow();
    job.render();
    std::optional<exporter::PackedDib> dib = job.captureImage();
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->width(), 64);
    EXPECT_EQ(dib->height(), 48);
    EXPECT_EQ(dib->bitsPerPixel(), 32);
    EXPECT_TRUE(dib->bottomUp());
    EXPECT_EQ(dib->imageSize(), 64u * 4u * 48u);
    std::vector<std::uint8_t> rgba = dib->toRgba(); // top row first
    auto pixel = [&](int x, int y) { return &rgba[(static_cast<std::size_t>(y) * 64 + x) * 4]; };
    EXPECT_GT(pixel(32, 6)[1], 40);   // the ball, near the top
    EXPECT_EQ(pixel(32, 6)[2], 0);
    EXPECT_EQ(pixel(32, 44)[2], 255); // background at the bottom
    EXPECT_EQ(pixel(32, 44)[1], 0);
}

TEST(RenderJobStop, AStopRequestEndsTheRenderAfterTheCurrentSlice) {
    model::Model m;
    addBall(m, "ball", 4).grid = {4, 4, 50};
    RenderJob job(0, 0, 0, 0, true);
    ASSERT_TRUE(job.setModel(m));
    job.createWindow();
    std::vector<std::string> captions;
    job.setCaptionListener([&](const std::string& c) {
        captions.push_back(c);
        if (c == "Rendering 10%") job.requestStop(); // after the fifth slice
    });
    RenderWorker worker;
    ASSERT_TRUE(renderSingleFrame(worker, job, m));
    worker.wait();
    EXPECT_TRUE(worker.isIdle());
    EXPECT_EQ(job.stepsDone(), 5);
    EXPECT_EQ(captions.back(), "Rendering 10%"); // no end caption
    EXPECT_EQ(job.state(), JobState::NotRendered);
    EXPECT_FALSE(job.isBusy());
    EXPECT_FALSE(job.isVisible());
    EXPECT_FALSE(job.scene()->isCreated());
    EXPECT_TRUE(job.scene()->meshes().empty());
    EXPECT_FALSE(job.modelCopy()->framePrepared());
    EXPECT_FALSE(job.captureImage());

    // The request is forgotten with the render: the next one goes to its end, and so does one
    // started after a request that came while nothing ran.
    job.setCaptionListener({});
    job.requestStop();
    ASSERT_TRUE(renderSingleFrame(worker, job, m));
    worker.wait();
    EXPECT_TRUE(job.isRendered());
    EXPECT_EQ(job.stepsDone(), 50);
    EXPECT_FALSE(job.stopRequested());
}

TEST(RenderJobStop, TheSceneLockIsHeldWhileTheSceneIsBuilt) {
    model::Model m;
    addBall(m, "ball", 4).grid = {4, 4, 10};
    RenderJob job(0, 0, 0, 0, true);
    ASSERT_TRUE(job.setModel(m));
    job.createWindow();
    auto lockIsFree = [&] {
        bool owned = false;
        std::thread other([&] { owned = job.tryLockScene().owns_lock(); });
        other.join();
        return owned;
    };
    int lockedDuringBuild = 0;
    job.setCaptionListener([&](const std::string& c) {
        // Progress comes from inside the build; the first and the end caption from outside.
        bool free = lockIsFree();
        if (c == "Rendering 0%" || c == "Polygonized Model")
            EXPECT_TRUE(free) << c;
        else if (!free)
            ++lockedDuringBuild;
    });
    job.render();
    EXPECT_EQ(lockedDuringBuild, 10);
    EXPECT_TRUE(job.tryLockScene().owns_lock());
}

TEST(RenderWorkerTest, RefusesASecondStartWhileRunning) {
    RenderWorker worker;
    EXPECT_TRUE(worker.isIdle());
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    bool idleInside = true;
    ASSERT_TRUE(worker.start([&] {
        idleInside = worker.isIdle();
        released.wait();
    }));
    EXPECT_FALSE(worker.isIdle()); // running from the moment start succeeds
    int second = 0;
    EXPECT_FALSE(worker.start([&] { ++second; }));
    release.set_value();
    worker.wait();
    EXPECT_TRUE(worker.isIdle());
    EXPECT_FALSE(idleInside);
    EXPECT_EQ(second, 0);
    EXPECT_TRUE(worker.start([&] { ++second; }));
    worker.wait();
    EXPECT_EQ(second, 1);
    EXPECT_FALSE(worker.start({}));
}

TEST(RenderWorkerTest, RendersAJobOnItsThread) {
    model::Model m;
    addBall(m, "ball", 4);
    RenderJob job(0, 0, 0, 0, true);
    ASSERT_TRUE(job.setModel(m));
    job.createWindow();
    std::mutex mutex;
    std::vector<std::string> captions;
    job.setCaptionListener([&](const std::string& c) {
        std::lock_guard<std::mutex> lock(mutex);
        captions.push_back(c);
    });
    RenderWorker worker;
    ASSERT_TRUE(worker.start([&] { job.render(); }));
    worker.wait();
    EXPECT_TRUE(job.isRendered());
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(captions.back(), "Polygonized Model");
}

TEST(RenderWorkerTest, RenderFrameIsRefusedWhileAnotherRenderRuns) {
    model::Model live;
    addBall(live, "ball", 4);
    RenderJob single(0, 0, 0, 0, true);
    single.createWindow();
    RenderWorker worker;
    std::promise<void> release;
    ASSERT_TRUE(worker.start([f = release.get_future().share()] { f.wait(); }));
    EXPECT_FALSE(renderSingleFrame(worker, single, live));
    EXPECT_EQ(single.modelCopy(), nullptr); // nothing else changed
    release.set_value();
    worker.wait();
    ASSERT_TRUE(renderSingleFrame(worker, single, live));
    worker.wait();
    EXPECT_TRUE(single.isRendered());
    EXPECT_EQ(single.caption(), "Polygonized Model");
}

class TimeCurveTest : public ::testing::Test {
protected:
    model::Model live;
    TimeCurve curve;

    void SetUp() override {
        live.settings.polyImage = {32, 24};
        model::ModelObject& grow = addGrowing(live, 10);
        grow.customBox = 1;
        grow.ownBox = {-5, -5, -5, 5, 5, 5};
        for (int k = 1; k <= 12; ++k) curve.appendRow(k * 0.5, 0, 0);
        ASSERT_TRUE(curve.resetFrames(live));
    }

    RenderJob* renderRow(int k) {
        RenderJob* job = curve.prepareJob(*curve.rowAt(k));
        if (job) job->render();
        return job;
    }
};

TEST_F(TimeCurveTest, RowJobsRenderTheirOwnTimeValuesWithAFrameCaption) {
    RenderJob* job = renderRow(3);
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->frameIndex(), 3);
    EXPECT_TRUE(job->hasTimeValues(1.5, 0, 0));
    EXPECT_EQ(job->caption(), "Frame: 3 of 12");
    EXPECT_EQ(curve.prepareJob(*curve.rowAt(3)), job); // a row keeps its job
    curve.appendRow(7, 0, 0);
    job->render();
    EXPECT_EQ(job->caption(), "Frame: 3 of 13"); // the row count when the render ends
    // A bigger T1 gives a bigger sphere.
    RenderJob* later = renderRow(9);
    float small = 0, big = 0;
    for (float v : job->scene()->meshes()[0].vertices) small = std::max(small, v);
    for (float v : later->scene()->meshes()[0].vertices) big = std::max(big, v);
    EXPECT_NEAR(small, 1.5f, 0.3f);
    EXPECT_NEAR(big, 4.5f, 0.3f);
}

TEST_F(TimeCurveTest, UpToDateRowsAndTheWalkOfRenderedJobs) {
    EXPECT_FALSE(curve.anyFrameRendered());
    EXPECT_EQ(curve.firstRenderedJob(), nullptr);
    RenderJob* two = renderRow(2);
    RenderJob* five = renderRow(5);
    curve.prepareJob(*curve.rowAt(7)); // prepared, never rendered
    EXPECT_TRUE(curve.anyFrameRendered());
    EXPECT_EQ(curve.firstRenderedJob(), two);
    EXPECT_EQ(curve.nextRenderedJob(), five);
    EXPECT_EQ(curve.nextRenderedJob(), nullptr);
    EXPECT_EQ(curve.nextRenderedJob(), nullptr);

    TimeCurveRow& row = *curve.rowAt(2);
    EXPECT_TRUE(rowIsUpToDate(row));
    row.t2 = 0.25; // edited after rendering
    EXPECT_FALSE(rowIsUpToDate(row));
    EXPECT_FALSE(rowIsUpToDate(*curve.rowAt(7)));

    ASSERT_TRUE(curve.resetFrames(live)); // every job goes
    EXPECT_EQ(curve.rowAt(5)->job, nullptr);
    EXPECT_FALSE(curve.anyFrameRendered());
}

TEST_F(TimeCurveTest, StartRowFollowsTheSelectionWhileItExists) {
    EXPECT_EQ(curve.startRow(), curve.rowAt(1));
    TimeCurveRow* fourth = curve.rowAt(4);
    ASSERT_TRUE(curve.setSelectedRow(fourth));
    EXPECT_EQ(curve.startRow(), fourth);
    TimeCurveRow* inserted = curve.insertRow(1, 9, 9, 9);
    ASSERT_NE(inserted, nullptr);
    EXPECT_EQ(curve.frameNumber(fourth), 5);
    EXPECT_EQ(curve.insertRow(15, 0, 0, 0), nullptr);
    EXPECT_TRUE(curve.removeRow(fourth));
    EXPECT_EQ(curve.selectedRow(), nullptr);
    EXPECT_EQ(curve.startRow(), inserted);
    EXPECT_FALSE(curve.removeRow(fourth));
    curve.clear();
    EXPECT_EQ(curve.startRow(), nullptr);
    EXPECT_EQ(curve.rowAt(1), nullptr);
}

TEST_F(TimeCurveTest, JobsCopyTheSnapshotNotTheLiveModel) {
    live.removeAll();
    RenderJob* job = renderRow(1);
    ASSERT_NE(job, nullptr);
    ASSERT_EQ(job->modelCopy()->count(), 1);
    EXPECT_GT(job->scene()->meshes()[0].polygonCount(), 0);
}

} // namespace
} // namespace lv::render
