// The main window's single-frame render commands: the render with its progress in the status
// bar, stopping it, View > Frame and Reset View, under a real X server with OpenGL.
#include "app/frame_commands.h"

#include <QApplication>
#include <QStatusBar>
#include <QtTest>

#include <future>
#include <thread>

#pragma push_macro("slots")
#undef slots
#include "lang/compiler.h"
#include "render/gl_context.h"
#include "render/gui/frame_widget.h"
#pragma pop_macro("slots")

using namespace lv;

namespace {

model::Model ballModel(int n, int nz) {
    lang::ObjectList objects;
    std::vector<lang::CompileError> errors;
    lang::compileProgram("ball(x[3], a[0]) {\n array c[3];\n c = [0, 0, 0];\n"
                         " ball = lvsphere(x, c, 5);\n}\n",
                         objects, errors, {});
    model::Model m;
    auto object = std::make_unique<model::ModelObject>(
        model::makeModelObject("ball", lang::findObject(objects, "ball"), "/src/ball.lv"));
    object->grid = {n, n, nz};
    m.appendObject(std::move(object));
    return m;
}

} // namespace

class FrameCommandsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void renderShowsProgressAndEndsWithTheCaption();
    void stopEndsTheRenderAndSaysSo();
    void frameToggleAndResetView();
    void goingAwayWaitsForTheRender();
};

void FrameCommandsTest::renderShowsProgressAndEndsWithTheCaption() {
    render::RenderWorker worker;
    render::RenderJob job(0, 0, 0, 0, true);
    QStatusBar status;
    QStringList messages;
    connect(&status, &QStatusBar::messageChanged, &status, [&](const QString& m) {
        if (!m.isEmpty()) messages << m;
    });
    int changes = 0;
    app::FrameCommands commands(worker, job, &status, [&] { ++changes; });
    QVERIFY(dynamic_cast<render::gui::QtFrameWindow*>(job.window()));
    QVERIFY(!job.isVisible()); // made hidden
    model::Model m = ballModel(6, 4);
    // Another thread holds the scene lock, so the render waits before its build.
    std::promise<void> held, release;
    std::thread holder([&] {
        std::unique_lock<std::mutex> lock = job.tryLockScene();
        held.set_value();
        release.get_future().wait();
    });
    held.get_future().wait();
    QVERIFY(commands.renderFrame(m));
    QCOMPARE(changes, 1);
    QVERIFY(commands.canStop());
    QVERIFY(!commands.renderFrame(m)); // the worker is busy
    release.set_value();
    holder.join();
    QTRY_COMPARE_WITH_TIMEOUT(changes, 2, 20000);
    QVERIFY(!commands.canStop());
    QVERIFY(job.isRendered());
    QCOMPARE(messages, (QStringList{"Rendering 0%", "Rendering 25%", "Rendering 50%",
                                    "Rendering 75%", "Rendering 100%", "Polygonized Model"}));
    commands.stopRendering(); // idle: nothing to stop
    QVERIFY(!job.stopRequested());
}

void FrameCommandsTest::stopEndsTheRenderAndSaysSo() {
    render::RenderWorker worker;
    render::RenderJob job(0, 0, 0, 0, true);
    QStatusBar status;
    int changes = 0;
    app::FrameCommands commands(worker, job, &status, [&] { ++changes; });
    model::Model big = ballModel(160, 900);
    QVERIFY(commands.renderFrame(big));
    QTRY_VERIFY_WITH_TIMEOUT(status.currentMessage().startsWith("Rendering ") &&
                                 status.currentMessage() != "Rendering 0%",
                             20000);
    commands.stopRendering();
    QTRY_COMPARE_WITH_TIMEOUT(changes, 2, 5000);
    QCOMPARE(status.currentMessage(), QString(app::kRenderingStopped));
    QCOMPARE(job.state(), render::JobState::NotRendered);
    QVERIFY(worker.isIdle());
}

void FrameCommandsTest::frameToggleAndResetView() {
    render::RenderWorker worker;
    render::RenderJob job(0, 0, 0, 0, true);
    int changes = 0;
    app::FrameCommands commands(worker, job, nullptr, [&] { ++changes; });
    model::Model m = ballModel(6, 6);
    QVERIFY(commands.renderFrame(m));
    QTRY_COMPARE_WITH_TIMEOUT(changes, 2, 20000);
    QVERIFY(job.isVisible());
    commands.toggleFrame();
    QVERIFY(!job.isVisible());
    commands.toggleFrame();
    QVERIFY(job.isVisible());

    auto* widget = static_cast<render::gui::QtFrameWindow*>(job.window())->widget();
    QTRY_VERIFY(widget->isVisible());
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, {20, 20});
    QTest::mouseMove(widget, {90, 30});
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, {90, 30});
    QVERIFY(job.scene()->modelFrame().m[0] != 1.0);
    commands.resetView();
    for (int i = 0; i < 16; ++i) QCOMPARE(job.scene()->modelFrame().m[i], render::Mat4{}.m[i]);
}

void FrameCommandsTest::goingAwayWaitsForTheRender() {
    render::RenderWorker worker;
    render::RenderJob job(0, 0, 0, 0, true);
    QStatusBar status;
    {
        app::FrameCommands commands(worker, job, &status, {});
        model::Model m = ballModel(30, 30);
        QVERIFY(commands.renderFrame(m));
    } // the render's captions must not reach the commands once they are gone
    QVERIFY(worker.isIdle());
    QVERIFY(job.isRendered());
    QCoreApplication::processEvents();
}

int main(int argc, char** argv) {
    render::gui::prepareOpenGl();
    // The headless context holds Mesa's driver for the whole run, so LeakSanitizer can still
    // name the driver's allocations at exit after Qt's own display has let it go.
    std::string glError;
    render::headlessGlAvailable(glError);
    QApplication app(argc, argv);
    FrameCommandsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "frame_commands_test.moc"
