// The animation commands reached through the main window: the menus run the frames control,
// compile the film and play it; View > Animation follows the film; ffprobe reads the film the
// menu built. Also where the application keeps the temporary film.
// The application's headers first: they read the model with Qt's keyword macros set aside.
#include <QCoreApplication>

#include "tests/gui/gui_test_util.h"

#include "animation_test_support.h"

#include "app/command_table.h"
#include "dialogs/animation_dialogs.h"
#include "render/gl_context.h"

#include <QAction>
#include <QGroupBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

using namespace lv;
using namespace lv::app;
using lv::dialogs::testing::whenModal;

namespace {

const QByteArray kGrow =
    "grow(x[3], a[1]) {\n  array c[3];\n  c = [0, 0, 0];\n  grow = lvsphere(x, c, a[1]);\n}\n";

} // namespace

class AnimationWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { test::useTestSettings("animation_window_tests"); }
    void filmFolderIsWritableOrTheCache();
    void menusRenderCompileAndPlay();
};

void AnimationWindowTest::filmFolderIsWritableOrTheCache() {
    QTemporaryDir dir, cache;
    QCOMPARE(filmFolder(dir.path().toStdString(), cache.path().toStdString()),
             dir.path().toStdString());
    // A desktop launch may start where nothing can be made, even for root.
    const std::string fallback = cache.path().toStdString() + "/lumovar";
    QCOMPARE(filmFolder("/proc", cache.path().toStdString()), fallback);
    QVERIFY(QFileInfo(QString::fromStdString(fallback)).isDir());
    render::TempFilm film;
    QVERIFY(film.reserve(fallback));
    QVERIFY(QFile::exists(QString::fromStdString(fallback + "/~_tmp0.avi")));
}

void AnimationWindowTest::menusRenderCompileAndPlay() {
    REQUIRE_GL();
    test::GuiFixture f;
    QVERIFY(f.state.film.reserve(f.dir.path().toStdString()));
    model::ModelObject* grow = f.addObject(kGrow, "grow");
    QVERIFY(grow);
    QVERIFY(model::setKind(grow->aBindings, 0, model::T1));
    grow->grid = {6, 6, 6};
    f.state.model.settings.polyImage = {64, 48};
    for (double r : {3.0, 6.0}) f.state.timeCurve.appendRow(r, 0, 0);
    f.window->refreshCommands();
    for (int id : {kCmdModelTimeCurve, kCmdRenderAnimation, kCmdRunRenderAnimation,
                   kCmdRunCompileFilm, kCmdViewAnimation})
        QVERIFY(MainWindow::hasHandler(id));
    QVERIFY(!f.window->action(kCmdViewAnimation)->isEnabled());

    bool listed = false;
    whenModal<dialogs::TimeCurveDialog>([&](dialogs::TimeCurveDialog* d) {
        listed = d->list()->topLevelItemCount() == 2;
        d->button("Clo&se")->click();
    });
    f.window->execute(kCmdModelTimeCurve);
    QVERIFY(listed);

    whenModal<dialogs::FramesSelectionDialog>([](dialogs::FramesSelectionDialog* d) {
        d->all()->click();
        d->accept();
    });
    f.window->execute(kCmdRenderAnimation);
    QVERIFY(f.state.timeCurve.allFrames());

    bool rendered = false;
    whenModal<dialogs::FramesControlDialog>([&](dialogs::FramesControlDialog* d) {
        QTRY_VERIFY_WITH_TIMEOUT(!d->isRendering(), 15000);
        rendered = d->currentGroup()->title() == "Current frame is 2 of 2";
        d->closeButton()->click();
    });
    f.window->execute(kCmdRunRenderAnimation);
    QVERIFY(rendered);

    f.window->execute(kCmdRunCompileFilm);
    QCOMPARE(f.ui.lastText(), QString("The animated film has been built successfuly.\nUse "
                                      "\"View\" menu to access it."));
    QVERIFY(f.window->action(kCmdViewAnimation)->isEnabled());

    bool played = false;
    whenModal<dialogs::PlaybackDialog>([&](dialogs::PlaybackDialog* d) {
        d->seek(10);
        played = d->isOpen() && d->shownImage().size() == QSize(64, 48);
        d->close();
    });
    f.window->execute(kCmdViewAnimation);
    QVERIFY(played);
    QVERIFY(f.state.film.isReady()); // playing keeps the film

    if (QStandardPaths::findExecutable("ffprobe").isEmpty()) QSKIP("ffprobe is not installed");
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-count_packets", "-show_entries",
                            "stream=codec_type,width,height,r_frame_rate,nb_read_packets", "-of",
                            "default=nw=1", QString::fromStdString(f.state.film.path())});
    QVERIFY(probe.waitForFinished(20000));
    const QString info = QString::fromLocal8Bit(probe.readAllStandardOutput());
    QCOMPARE(probe.exitCode(), 0);
    QVERIFY2(info.contains("codec_type=video") && info.contains("width=64") &&
                 info.contains("r_frame_rate=15/1"),
             qPrintable(info));
}

QTEST_MAIN(AnimationWindowTest)
#include "animation_window_test.moc"
