// The desktop frame window of a render job, under a real X server (Xvfb) with OpenGL: captions,
// size and placement, mouse turning and zooming, closing, the picture against the headless
// renderer, captures at a screen scale factor, and stopping a render.
#include "render/gui/frame_widget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QtTest>

#include <future>
#include <thread>

#pragma push_macro("slots")
#undef slots
#include "app/source_cache.h"
#include "lang/compiler.h"
#include "lang/settings.h"
#include "model/model_file.h"
#include "render/frame_window.h"
#include "render/gl_context.h"
#include "render/render_job.h"
#include "render/render_worker.h"
#pragma pop_macro("slots")

using namespace lv;
using render::RenderJob;
using render::RenderWorker;
using render::gui::FrameWidget;
using render::gui::QtFrameWindow;

namespace {

constexpr const char* kShapes = R"(ball(x[3], a[0]) {
    array c[3];
    c = [0, 0, 0];
    ball = lvsphere(x, c, 5);
}
)";

// A model of the radius-5 ball at the origin with grid n x n x nz and a width x height image.
model::Model ballModel(int n, int nz, int width = 160, int height = 120) {
    lang::ObjectList objects;
    std::vector<lang::CompileError> errors;
    lang::compileProgram(kShapes, objects, errors, {});
    model::Model m;
    auto object = std::make_unique<model::ModelObject>(
        model::makeModelObject("ball", lang::findObject(objects, "ball"), "/src/shapes.lv"));
    object->grid = {n, n, nz};
    object->polyColour = {200, 40, 40};
    m.appendObject(std::move(object));
    m.settings.polyImage = {width, height};
    m.settings.polyBackground = {20, 20, 90};
    return m;
}

FrameWidget* widgetOf(RenderJob& job) {
    return static_cast<QtFrameWindow*>(job.window())->widget();
}

// Lets the queued calls of a finished render reach the window.
void settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

bool renderAndWait(RenderWorker& worker, RenderJob& job, const model::Model& m) {
    if (!render::renderSingleFrame(worker, job, m)) return false;
    worker.wait();
    settle();
    return job.isRendered();
}

QRgb pixelOf(const render::RgbaImage& image, int x, int y) {
    const std::uint8_t* p = image.at(x, y);
    return qRgb(p[0], p[1], p[2]);
}

// Counts the pixels of a and b (same size) whose channels differ by more than tolerance.
int differingPixels(const QImage& a, const render::RgbaImage& b, int tolerance) {
    int count = 0;
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x) {
            QRgb p = a.pixel(x, y), q = pixelOf(b, x, y);
            if (std::abs(qRed(p) - qRed(q)) > tolerance ||
                std::abs(qGreen(p) - qGreen(q)) > tolerance ||
                std::abs(qBlue(p) - qBlue(q)) > tolerance)
                ++count;
        }
    return count;
}

render::Vec3 rotationOf(const render::Mat4& m, render::Vec3 v) {
    return render::transformDirection(m, v);
}

double distanceToModel(const render::SceneView& scene) {
    render::Vec3 origin = render::transformPoint(scene.modelFrame(), {});
    return geom::length(scene.cameraPosition() - origin);
}

// A single-frame job in a Qt frame window, with the worker that renders it.
struct WindowedRender {
    RenderWorker worker;
    RenderJob job{0, 0, 0, 0, true};
    FrameWidget* widget = nullptr;
    WindowedRender() {
        job.createWindow(render::gui::qtWindowFactory());
        widget = widgetOf(job);
    }
    // Renders m on the worker and lets the window take it; true when the job is rendered.
    bool render(const model::Model& m) { return renderAndWait(worker, job, m); }
};

// Renders m as the non-interactive animation frame number frame in a new Qt frame window.
std::unique_ptr<RenderJob> renderRow(RenderWorker& worker, int frame, const model::Model& m) {
    auto row = std::make_unique<RenderJob>(frame, 0, 0, 0, false);
    row->createWindow(render::gui::qtWindowFactory());
    if (!row->setModel(m) || !worker.start([&] { row->render(); })) return nullptr;
    worker.wait();
    settle();
    return row;
}

// Renders m with headless, a job of the command line's render, in this process and on this
// thread; false when the job does not take the model.
bool renderHeadless(RenderJob& headless, const model::Model& m) {
    headless.createWindow();
    if (!headless.setModel(m)) return false;
    headless.render();
    return true;
}

// True when the model frame is untouched: no turn and no zoom.
bool unturned(const render::SceneView& scene) {
    for (int i = 0; i < 16; ++i)
        if (scene.modelFrame().m[i] != render::Mat4{}.m[i]) return false;
    return true;
}

// A drag with one button from (x0, y0) to (x1, y1) in a single move.
void drag(QWidget* w, Qt::MouseButton button, QPoint from, QPoint to) {
    QTest::mousePress(w, button, Qt::NoModifier, from);
    QTest::mouseMove(w, to);
    QTest::mouseRelease(w, button, Qt::NoModifier, to);
}

} // namespace

class FrameWindowTest : public QObject {
    Q_OBJECT
private slots:
    void headlessAndWindowContextsLiveTogether();
    void captionsOfARenderArriveInOrderOnTheUiThread();
    void clientSizeAndFirstPlacement();
    void reusedAndKeptPlacements();
    void dragsTurnAndZoomTheView();
    void zoomStaysWithinItsLimits();
    void nothingTurnsWhileTheWorkerHoldsTheScene();
    void closingHidesTheSingleFrameOnly();
    void windowPictureMatchesTheHeadlessRender();
    void captureIsTheImageSizeAtAnyScale();
    void stoppedRenderLeavesTheJobNotRendered();
    void workshopScreenshot();
};

void FrameWindowTest::headlessAndWindowContextsLiveTogether() {
    std::string error;
    if (!render::headlessGlAvailable(error)) QSKIP(error.c_str());
    WindowedRender r;
    QVERIFY(r.render(ballModel(8, 8)));
    FrameWidget* w = r.widget;
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QImage before = w->grabPicture();
    QVERIFY(w->lastError().empty());

    // A headless draw on the UI thread, another on a second thread while the window repaints.
    render::SceneView empty;
    render::RgbaImage image;
    QVERIFY2(render::renderSceneOffscreen(empty, 8, 8, image, error), error.c_str());
    std::promise<bool> other;
    std::thread drawer([&] {
        render::RgbaImage img;
        std::string e;
        other.set_value(render::renderSceneOffscreen(empty, 8, 8, img, e));
    });
    w->repaint();
    drawer.join();
    QVERIFY(other.get_future().get());
    QCOMPARE(w->grabPicture(), before);
}

void FrameWindowTest::captionsOfARenderArriveInOrderOnTheUiThread() {
    WindowedRender r;
    FrameWidget* w = r.widget;
    QStringList titles;
    bool offThread = false;
    connect(w, &QWidget::windowTitleChanged, w, [&](const QString& title) {
        titles << title;
        offThread = offThread || QThread::currentThread() != qApp->thread();
    });
    model::Model m = ballModel(4, 25);
    QVERIFY(render::renderSingleFrame(r.worker, r.job, m));
    // The UI thread does not serve the r.worker: the render ends without it.
    r.worker.wait();
    QVERIFY(r.job.isRendered());
    QVERIFY(titles.isEmpty());
    QCOMPARE(QString::fromStdString(r.job.window()->caption()), QString("Polygonized Model"));
    settle();
    QStringList expected;
    for (int i = 0; i <= 25; ++i) expected << QString("Rendering %1%").arg(i * 4);
    expected << "Polygonized Model";
    QCOMPARE(titles, expected);
    QVERIFY(!offThread);
    QVERIFY(w->isVisible());
    QVERIFY(r.job.isVisible());
}

void FrameWindowTest::clientSizeAndFirstPlacement() {
    WindowedRender r;
    QVERIFY(r.render(ballModel(6, 6, 320, 200)));
    FrameWidget* w = r.widget;
    QCOMPARE(w->size(), QSize(320, 200));
    QCOMPARE(w->minimumSize(), QSize(320, 200)); // fixed: the user cannot resize it
    QCOMPARE(w->maximumSize(), QSize(320, 200));
    // Left of the screen's centre, starting at its middle line.
    QRect screen = w->screen()->availableGeometry();
    QRect expected(screen.left() + screen.width() / 2 - 320 - 25,
                   screen.top() + screen.height() / 2, 320, 200);
    QCOMPARE(w->geometry(), expected);
    render::ScreenPoint origin = r.job.window()->clientOrigin();
    QCOMPARE(QPoint(origin.x, origin.y), expected.topLeft());
    QCOMPARE(r.job.window()->clientWidth(), 320);
    QCOMPARE(r.job.window()->clientHeight(), 200);

    // A window too big for the left half still starts on the screen.
    int wide = screen.width() - 10;
    WindowedRender big;
    QVERIFY(big.render(ballModel(4, 4, wide, 100)));
    QCOMPARE(big.widget->geometry(), QRect(screen.left(), screen.top() + screen.height() / 2,
                                           wide, 100));
}

void FrameWindowTest::reusedAndKeptPlacements() {
    WindowedRender r;
    QVERIFY(r.render(ballModel(6, 6, 160, 120)));
    FrameWidget* w = r.widget;

    r.job.showAt(true, {100, 80});
    settle();
    QCOMPARE(w->geometry(), QRect(100, 80, 160, 120));
    QCOMPARE(r.job.window()->clientOrigin().x, 100);

    // A re-render keeps the client origin and takes the new size.
    QVERIFY(r.render(ballModel(6, 6, 200, 90)));
    QCOMPARE(w->geometry(), QRect(100, 80, 200, 90));

    // Where the user moved the window is where the next render shows it.
    w->move(300, 210);
    settle();
    QCOMPARE(r.job.window()->clientOrigin().y, 210);
    QVERIFY(r.render(ballModel(6, 6, 120, 100)));
    QCOMPARE(w->geometry(), QRect(300, 210, 120, 100));

    // A r.worker's render at a given position puts the client area there.
    model::Model m = ballModel(4, 4, 120, 100);
    QVERIFY(r.job.setModel(m));
    QVERIFY(r.worker.start([&] { r.job.render(true, {40, 30}); }));
    r.worker.wait();
    settle();
    QCOMPARE(w->geometry(), QRect(40, 30, 120, 100));
}

void FrameWindowTest::dragsTurnAndZoomTheView() {
    WindowedRender r;
    QVERIFY(r.render(ballModel(6, 6, 160, 120)));
    FrameWidget* w = r.widget;
    QVERIFY(w->canTurn());
    render::SceneView& scene = *r.job.scene();
    render::Vec3 up = geom::normalized(scene.cameraUp());
    render::Vec3 dir = geom::normalized(scene.cameraDirection());
    render::Vec3 side = geom::cross(dir, up);

    // Mostly horizontal: a quarter of the width turns a quarter turn (6.28 / 4) about the
    // camera's up vector only.
    drag(w, Qt::LeftButton, {40, 60}, {80, 70});
    render::Mat4 turned = scene.modelFrame();
    render::Vec3 upAfter = rotationOf(turned, up);
    QVERIFY(geom::length(upAfter - up) < 1e-9);
    QVERIFY(std::fabs(geom::dot(rotationOf(turned, dir), dir) - std::cos(1.57)) < 1e-9);

    // Vertical (ties included): about direction x up by dy / height x 6.28.
    scene.resetView();
    drag(w, Qt::LeftButton, {50, 30}, {80, 60});
    turned = scene.modelFrame();
    QVERIFY(geom::length(rotationOf(turned, side) - side) < 1e-9);
    QVERIFY(std::fabs(geom::dot(rotationOf(turned, up), up) - std::cos(1.57)) < 1e-9);
    render::Mat4 expected;
    {
        render::SceneView reference = scene;
        reference.resetView();
        reference.rotateByMouse(30, 30, 160, 120);
        expected = reference.modelFrame();
    }
    for (int i = 0; i < 16; ++i) QCOMPARE(turned.m[i], expected.m[i]);

    // Right drag down by a quarter of the height: the camera moves away by 99 / 4.
    w->resetView();
    double start = distanceToModel(scene);
    drag(w, Qt::RightButton, {60, 30}, {60, 60});
    QVERIFY(std::fabs(distanceToModel(scene) - (start + 99.0 / 4)) < 1e-9);
    // Up again by the same: back where it was. Left-button moves during a right drag do nothing.
    QTest::mousePress(w, Qt::RightButton, Qt::NoModifier, {60, 60});
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, {60, 60});
    QTest::mouseMove(w, {60, 30});
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, {60, 30});
    QTest::mouseRelease(w, Qt::RightButton, Qt::NoModifier, {60, 30});
    QVERIFY(std::fabs(distanceToModel(scene) - start) < 1e-9);
    QVERIFY(unturned(scene));

    // The wheel zooms too: towards the model when turned away from the user.
    QWheelEvent wheel(QPointF(60, 60), w->mapToGlobal(QPointF(60, 60)), {}, QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
    QVERIFY(distanceToModel(scene) < start - 1.0);

    // Reset View puts the camera back.
    w->resetView();
    QVERIFY(std::fabs(distanceToModel(scene) - start) < 1e-12);

    // The keyboard: an arrow turns about the up vector by a 24th of the width's turn, Page Up
    // comes closer, Home resets.
    QTest::keyClick(w, Qt::Key_Right);
    QVERIFY(geom::length(rotationOf(scene.modelFrame(), up) - up) < 1e-9);
    double angle = (160 / 24) / 160.0 * 6.28;
    QVERIFY(std::fabs(geom::dot(rotationOf(scene.modelFrame(), dir), dir) - std::cos(angle)) <
            1e-9);
    QTest::keyClick(w, Qt::Key_PageUp);
    QVERIFY(distanceToModel(scene) < start - 1.0);
    QTest::keyClick(w, Qt::Key_Home);
    QVERIFY(std::fabs(distanceToModel(scene) - start) < 1e-12);
    QVERIFY(unturned(scene));
}

void FrameWindowTest::zoomStaysWithinItsLimits() {
    WindowedRender r;
    QVERIFY(r.render(ballModel(6, 6, 160, 120)));
    FrameWidget* w = r.widget;
    render::SceneView& scene = *r.job.scene();
    drag(w, Qt::RightButton, {60, 110}, {60, -600});
    QCOMPARE(distanceToModel(scene), 1.0);
    drag(w, Qt::RightButton, {60, 10}, {60, 900});
    QCOMPARE(distanceToModel(scene), 100.0);
    for (int i = 0; i < 60; ++i) {
        QWheelEvent wheel(QPointF(60, 60), w->mapToGlobal(QPointF(60, 60)), {}, QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &wheel);
    }
    QCOMPARE(distanceToModel(scene), 1.0);
}

void FrameWindowTest::nothingTurnsWhileTheWorkerHoldsTheScene() {
    WindowedRender r;
    QVERIFY(r.render(ballModel(6, 6, 160, 120)));
    FrameWidget* w = r.widget;
    render::Vec3 camera = r.job.scene()->cameraPosition();

    // Another thread holds the scene lock (as the r.worker does while building).
    std::promise<void> held, release;
    std::thread holder([&] {
        std::unique_lock<std::mutex> lock = r.job.tryLockScene();
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    QVERIFY(!w->canTurn());
    drag(w, Qt::LeftButton, {10, 10}, {100, 20});
    drag(w, Qt::RightButton, {10, 10}, {10, 100});
    w->resetView();
    QImage blocked = w->grabPicture(); // a paint that cannot take the lock shows black
    release.set_value();
    holder.join();
    QCOMPARE(blocked.pixel(80, 60), qRgb(0, 0, 0));
    QVERIFY(unturned(*r.job.scene()));
    QCOMPARE(r.job.scene()->cameraPosition().x, camera.x);
    QVERIFY(w->grabPicture().pixel(2, 2) == qRgb(20, 20, 90));

    // A non-interactive (animation) frame never turns.
    std::unique_ptr<RenderJob> row = renderRow(r.worker, 2, ballModel(4, 4));
    QVERIFY(row);
    QVERIFY(!widgetOf(*row)->canTurn());
    drag(widgetOf(*row), Qt::LeftButton, {10, 10}, {100, 20});
    QVERIFY(unturned(*row->scene()));
}

void FrameWindowTest::closingHidesTheSingleFrameOnly() {
    WindowedRender r;
    RenderJob& single = r.job;
    QVERIFY(r.render(ballModel(4, 4)));
    QPointer<FrameWidget> w = r.widget;
    QVERIFY(w->isVisible());
    w->close();
    settle();
    QVERIFY(w); // still there
    QVERIFY(!w->isVisible());
    QVERIFY(!single.isVisible());
    single.toggleVisible(); // View > Frame brings it back
    QVERIFY(single.isVisible());
    settle();
    QVERIFY(w->isVisible());

    std::unique_ptr<RenderJob> row = renderRow(r.worker, 3, ballModel(4, 4));
    QVERIFY(row);
    QPointer<FrameWidget> rowWidget = widgetOf(*row);
    QCOMPARE(rowWidget->windowTitle(), QString("Frame: 3 of 0"));
    QVERIFY(!(rowWidget->windowFlags() & Qt::WindowCloseButtonHint));
    rowWidget->close();
    settle();
    QVERIFY(rowWidget && rowWidget->isVisible());
    QVERIFY(row->isVisible());
}

void FrameWindowTest::windowPictureMatchesTheHeadlessRender() {
    std::string error;
    if (!render::headlessGlAvailable(error)) QSKIP(error.c_str());
    model::Model m = ballModel(24, 24, 160, 120);
    m.settings.cameraPosition = {6, 8, 14};
    m.settings.flatShading = 0;
    WindowedRender r;
    RenderJob& shown = r.job;
    QVERIFY(r.render(m));
    FrameWidget* w = r.widget;
    QVERIFY(QTest::qWaitForWindowExposed(w));
    // OpenGL in the window on X; the headless renderer's picture where Qt has no OpenGL.
    QCOMPARE(w->glView() != nullptr, QGuiApplication::platformName() == "xcb");
    QImage grabbed = w->grabPicture();
    QCOMPARE(grabbed.size(), QSize(160, 120));

    RenderJob headless(0, 0, 0, 0, true);
    QVERIFY(renderHeadless(headless, m));
    auto* window = static_cast<render::HeadlessWindow*>(headless.window());
    const render::RgbaImage& reference = window->lastImage();
    QCOMPARE(reference.width, 160);
    QVERIFY(differingPixels(grabbed, reference, 3) <= 160 * 120 / 200);
    // The ball is there in both, and the background around it.
    QVERIFY(qRed(grabbed.pixel(80, 60)) > 60);
    QCOMPARE(grabbed.pixel(1, 1), qRgb(20, 20, 90));

    std::optional<render::RgbaImage> captured = shown.window()->capture(*shown.scene());
    QVERIFY(captured);
    QCOMPARE(captured->width, 160);
    QCOMPARE(captured->height, 120);
    QVERIFY(differingPixels(grabbed, *captured, 3) <= 160 * 120 / 200);
    std::optional<exporter::PackedDib> dib = shown.captureImage();
    QVERIFY(dib);
    QCOMPARE(dib->width(), 160);
}

void FrameWindowTest::captureIsTheImageSizeAtAnyScale() {
    WindowedRender r;
    QVERIFY(r.render(ballModel(12, 12, 150, 90)));
    FrameWidget* w = r.widget;
    QVERIFY(QTest::qWaitForWindowExposed(w));
    qreal ratio = w->devicePixelRatioF();
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == "2") QCOMPARE(ratio, 2.0);
    QCOMPARE(w->size(), QSize(150, 90)); // in the screen's logical pixels
    QCOMPARE(w->grabPicture().size(), QSize(qRound(150 * ratio), qRound(90 * ratio)));
    std::optional<exporter::PackedDib> dib = r.job.captureImage();
    QVERIFY(dib);
    QCOMPARE(dib->width(), 150);
    QCOMPARE(dib->height(), 90);
    std::vector<std::uint8_t> rgba = dib->toRgba(); // top row first
    auto at = [&](int x, int y) { return &rgba[(static_cast<std::size_t>(y) * 150 + x) * 4]; };
    QCOMPARE(int(at(2, 2)[2]), 90); // background
    QVERIFY(at(75, 45)[0] > 60);    // the ball in the middle

    // The same picture as the headless renderer's, pixel for pixel within the tolerance.
    std::string error;
    if (!render::headlessGlAvailable(error)) QSKIP(error.c_str());
    RenderJob headless(0, 0, 0, 0, true);
    QVERIFY(renderHeadless(headless, ballModel(12, 12, 150, 90)));
    std::optional<exporter::PackedDib> reference = headless.captureImage();
    QVERIFY(reference);
    std::vector<std::uint8_t> expected = reference->toRgba();
    int differing = 0;
    for (std::size_t i = 0; i < rgba.size(); ++i)
        if (std::abs(int(rgba[i]) - int(expected[i])) > 3) ++differing;
    QVERIFY(differing <= 150 * 90 / 200);
}

void FrameWindowTest::stoppedRenderLeavesTheJobNotRendered() {
    WindowedRender r;
    FrameWidget* w = r.widget;
    // Large enough to take many seconds to the end.
    model::Model big = ballModel(160, 900, 160, 120);
    QVERIFY(render::renderSingleFrame(r.worker, r.job, big));
    QTRY_VERIFY_WITH_TIMEOUT(w->windowTitle().startsWith("Rendering") &&
                                 w->windowTitle() != "Rendering 0%",
                             20000);
    QVERIFY(r.job.isBusy());
    QVERIFY(!w->canTurn()); // no turning while busy
    drag(w, Qt::LeftButton, {10, 10}, {100, 20});

    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(w, Qt::Key_Escape); // Escape in the frame window stops the render
    QTRY_VERIFY_WITH_TIMEOUT(r.worker.isIdle(), 5000);
    qint64 ms = timer.elapsed();
    qInfo("r.worker idle %lld ms after the stop request", static_cast<long long>(ms));
    QVERIFY(ms < 1000);
    settle();
    QCOMPARE(r.job.state(), render::JobState::NotRendered);
    QVERIFY(!r.job.isBusy());
    QVERIFY(!r.job.isRendered());
    QVERIFY(!r.job.isVisible());
    QVERIFY(!w->isVisible());
    QVERIFY(!r.job.captureImage());
    QVERIFY(r.job.stepsDone() < r.job.totalSteps());

    // The stop is forgotten: the next render goes to its end.
    QVERIFY(r.render(ballModel(4, 4)));
    QCOMPARE(w->windowTitle(), QString("Polygonized Model"));
}

void FrameWindowTest::workshopScreenshot() {
    model::ModelFileContents contents;
    app::SourceCache sources;
    std::string error;
    QVERIFY2(model::loadModelFile(LV_SOURCE_DIR "/examples/workshop.lvm", sources, contents,
                                  error),
             error.c_str());
    lang::setEps(contents.eps);
    lang::setAlpha(contents.alpha);
    WindowedRender r;
    QVERIFY(r.render(contents.model));
    FrameWidget* w = r.widget;
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QImage shot = w->grabPicture();
    const model::ImageSize& size = contents.model.settings.polyImage;
    QCOMPARE(shot.size(), QSize(size.width, size.height));
    QString path = LV_BINARY_DIR "/frame_window_workshop.png";
    QVERIFY(shot.save(path));
    QVERIFY(QImage(path).size() == shot.size());

    // The twisted bar's orange (230, 120, 20) and the plate's blue-grey (180, 180, 200), both
    // shaded, against the white background.
    int orange = 0, plate = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            QRgb p = shot.pixel(x, y);
            int r = qRed(p), g = qGreen(p), b = qBlue(p);
            if (r > 40 && r > g + g / 4 && g > b + b) ++orange;
            if (r > 30 && r < 250 && std::abs(r - g) <= 2 && b > r) ++plate;
        }
    qInfo("workshop screenshot %s: %d orange and %d plate pixels", qPrintable(path), orange,
          plate);
    QVERIFY(orange > 500);
    QVERIFY(plate > 5000);
}

int main(int argc, char** argv) {
    lv::render::gui::prepareOpenGl();
    // The headless context holds Mesa's driver for the whole run, so LeakSanitizer can still
    // name the driver's allocations at exit after Qt's own display has let it go.
    std::string glError;
    lv::render::headlessGlAvailable(glError);
    QApplication app(argc, argv);
    FrameWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "frame_window_test.moc"
