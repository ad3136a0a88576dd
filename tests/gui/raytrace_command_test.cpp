// Run > "Ray &Trace" in the main window: its place and refusals, a sphere traced by the real
// ray tracer on a thread of its own into a window of the ray-tracing image size, and a missing
// ray tracer reported in an error box with no picture.
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

#include "app/command_table.h"
#include "app/raytrace_commands.h"
#include "tests/gui/gui_test_util.h"

using namespace lv::app;
using lv::test::GuiFixture;

namespace {

const QByteArray kBall =
    "ball(x[3], a[1]) {\n  ball = 25 - x[1]*x[1] - x[2]*x[2] - x[3]*x[3];\n}\n";

// Records the status bar's non-empty messages from now on into messages.
void recordStatus(MainWindow& w, QStringList& messages) {
    QObject::connect(w.statusBar(), &QStatusBar::messageChanged, &w,
                     [&messages](const QString& m) {
                         if (!m.isEmpty()) messages << m;
                     });
}

} // namespace

class RaytraceCommandTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { lv::test::useTestSettings(QStringLiteral("raytrace_command_tests")); }

    void placedAfterRenderAnimationAndGuarded() {
        auto table = commandTable();
        auto at = std::find_if(table.begin(), table.end(),
                               [](const CommandRow& r) { return r.id == kCmdRunRenderAnimation; });
        QVERIFY(at != table.end() && at + 1 != table.end());
        QCOMPARE((at + 1)->id, int(kCmdRunRayTrace));
        QCOMPARE(QString((at + 1)->text), QString("Ray &Trace"));
        QVERIFY(MainWindow::hasHandler(kCmdRunRayTrace));

        GuiFixture f;
        QVERIFY(f.window->action(kCmdRunRayTrace));
        QVERIFY(f.window->action(kCmdRunRayTrace)->isEnabled());
        f.window->execute(kCmdRunRayTrace);
        QCOMPARE(f.ui.lastText(), QString("Model must contain at least one object to render"));
        QVERIFY(f.addObject(kBall, "ball"));
        f.blockWorker();
        f.window->execute(kCmdRunRayTrace);
        QCOMPARE(f.ui.lastText(),
                 QString("This function is disallowed when the rendering proccess active"));
        QCOMPARE(f.ui.shown.back().icon, lv::ui::MsgIcon::None);
        f.unblockWorker();
        QVERIFY(!f.window->raytraceCommands().isBusy());
        QVERIFY(!f.window->raytraceCommands().hasRaytracedImage());
    }

    void tracesTheSphereIntoAWindowOfTheImageSize() {
        QStringList messages; // outlives the window
        GuiFixture f;
        recordStatus(*f.window, messages);
        QVERIFY(f.addObject(kBall, "ball"));
        f.state.model.settings.rayImage = {80, 60};
        RaytraceCommands& ray = f.window->raytraceCommands();
        QSignalSpy ended(&ray, &RaytraceCommands::finished);
        f.window->execute(kCmdRunRayTrace);
        QVERIFY(ray.isBusy());
        // The window stays live meanwhile, and a second trace is refused.
        f.window->execute(kCmdRunRayTrace);
        QCOMPARE(f.ui.lastText(),
                 QString("This function is disallowed when the rendering proccess active"));
        f.state.model.settings.rayImage = {20, 20}; // the running trace has its own copy
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
        QCOMPARE(ended.first().first().toBool(), true);
        QCOMPARE(f.ui.shown.size(), std::size_t(1)); // only the refusal
        QVERIFY(!ray.isBusy());
        QVERIFY(ray.hasRaytracedImage());
        QCOMPARE(ray.image().size(), QSize(80, 60));
        QVERIFY(QFileInfo(ray.imagePath()).isFile());
        QCOMPARE(QImage(ray.imagePath()).size(), QSize(80, 60));
        QWidget* view = ray.imageWindow();
        QVERIFY(view && view->isVisible());
        QCOMPARE(view->size(), QSize(80, 60));
        // The sphere stands in the middle of the background.
        QVERIFY(ray.image().pixel(40, 30) != ray.image().pixel(1, 1));
        QVERIFY(messages.contains("Sampling ball"));
        QVERIFY(messages.contains("Tracing"));
        QCOMPARE(messages.last(), QString(kRaytracedModel));
    }

    void missingRayTracerGivesAnErrorBoxAndNoPicture() {
        qputenv("LUMOVAR_POVRAY", "/nonexistent");
        GuiFixture f;
        QVERIFY(f.addObject(kBall, "ball"));
        f.state.model.settings.rayImage = {40, 30};
        RaytraceCommands& ray = f.window->raytraceCommands();
        QSignalSpy ended(&ray, &RaytraceCommands::finished);
        f.window->execute(kCmdRunRayTrace);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 20000);
        qunsetenv("LUMOVAR_POVRAY");
        QCOMPARE(ended.first().first().toBool(), false);
        QCOMPARE(f.ui.shown.size(), std::size_t(1));
        QCOMPARE(f.ui.shown.back().icon, lv::ui::MsgIcon::Error);
        QVERIFY2(f.ui.lastText().contains("povray"), qPrintable(f.ui.lastText()));
        QVERIFY(!ray.hasRaytracedImage());
        QVERIFY(ray.image().isNull());
        QVERIFY(ray.imagePath().isEmpty());
        QVERIFY(!ray.imageWindow());
        QVERIFY(!ray.isBusy());
    }
};

QTEST_MAIN(RaytraceCommandTest)
#include "raytrace_command_test.moc"
