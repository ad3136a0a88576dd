// Run > "Ray &Trace" in the main window: its place and refusals, a sphere traced by the real
// ray tracer on a thread of its own into a window of the ray-tracing image size, a missing
// ray tracer reported in an error box with no picture, and "Stop Rendering" ending a ray
// tracer that would run on.
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QtTest>

#include "app/command_table.h"
#include "app/raytrace_commands.h"
#include "lang/stop_token.h"
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

// Whether process pid still runs (a zombie waiting for its parent counts as ended).
bool running(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() && line[close + 2] != 'Z';
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
        // The picture the export writes is the one shown.
        const lv::exporter::PackedDib* picture = ray.picture();
        QVERIFY(picture);
        QCOMPARE(QSize(picture->width(), picture->height()), QSize(80, 60));
        const std::vector<std::uint8_t> rgba = picture->toRgba();
        for (QPoint p : {QPoint(40, 30), QPoint(1, 1), QPoint(70, 10)}) {
            const std::size_t at = (static_cast<std::size_t>(p.y()) * 80 + p.x()) * 4;
            QCOMPARE(qRgb(rgba[at], rgba[at + 1], rgba[at + 2]), ray.image().pixel(p) | 0xff000000);
        }
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

    void stopEndsTheRayTracerAtOnceWithNoPicture() {
        QTemporaryDir bin;
        QTemporaryDir tmp;
        const QString pids = bin.filePath("pids");
        QFile script(bin.filePath("povray"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        // A stand-in that never ends, with a child of its own; both ids once both run.
        script.write(QStringLiteral("#!/bin/sh\nsleep 30 &\necho \"$$ $!\" > %1.tmp\n"
                                    "mv %1.tmp %1\nwait\n")
                         .arg(pids)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("LUMOVAR_POVRAY", script.fileName().toUtf8());
        const QByteArray oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp.path().toUtf8());
        QStringList messages;
        GuiFixture f;
        recordStatus(*f.window, messages);
        QVERIFY(f.addObject(kBall, "ball"));
        f.state.model.settings.rayImage = {40, 30};
        RaytraceCommands& ray = f.window->raytraceCommands();
        QSignalSpy ended(&ray, &RaytraceCommands::finished);
        QAction* stop = f.window->action(kCmdRunStopRendering);
        QVERIFY(!stop->isEnabled());
        f.window->execute(kCmdRunRayTrace);
        QVERIFY(stop->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(pids), 20000);
        QElapsedTimer clock;
        clock.start();
        stop->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 2000);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        qunsetenv("LUMOVAR_POVRAY");
        oldTmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTmp);
        QCOMPARE(ended.first().first().toBool(), false);
        QVERIFY(f.ui.shown.empty()); // a stop is no error
        QCOMPARE(messages.last(), QString(kRaytraceStopped));
        QVERIFY(!ray.isBusy() && !stop->isEnabled());
        QVERIFY(!ray.hasRaytracedImage() && !ray.picture() && !ray.imageWindow());
        QVERIFY(!lv::lang::evaluationStop().stopRequested()); // later evaluations run again
        QFile ids(pids);
        QVERIFY(ids.open(QIODevice::ReadOnly));
        const QList<QByteArray> both = ids.readAll().trimmed().split(' ');
        QCOMPARE(both.size(), 2);
        for (const QByteArray& id : both) QTRY_VERIFY_WITH_TIMEOUT(!running(id.toLongLong()), 2000);
        const QStringList left = QDir(tmp.path()).entryList({"lumovar-raytrace-*"});
        QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
    }
};

QTEST_MAIN(RaytraceCommandTest)
#include "raytrace_command_test.moc"
