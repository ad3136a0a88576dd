// The animation dialogs as widgets: time curve edits, the questions and their defaults, the
// frames selection, the frames control's runs (rows rendered headless into row windows),
// refused closing, the film command's messages with ffprobe reading the film, playback seeking
// and the MP4 written from the player.
#include "dialogs/animation_commands.h"
#include "dialogs/animation_dialogs.h"
#include "dialogs/animation_row_window.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

#include "animation_test_support.h"
#include "export/image_files.h"
#include "render/film_convert.h"
#include "render/gl_context.h"

using namespace lv;
using namespace lv::dialogs;
using lv::dialogs::testing::addRows;
using lv::dialogs::testing::growingModel;
using lv::dialogs::testing::whenModal;

namespace {

// What a frames control test runs on: message boxes, a render worker, the growing model with
// T2 bound, and a curve of the rows T2 = 3, 5, 7.
struct FramesRig {
    ui::FakeUiServices ui;
    render::RenderWorker worker;
    model::Model m = growingModel(2);
    render::TimeCurve curve;
    FramesRig() { addRows(curve, {3, 5, 7}); }
};

QStringList textsOf(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int c = 0; c < 4; ++c) texts << item->text(c);
    return texts;
}

// ffprobe's description of the first stream of a file ("" without ffprobe).
QString probe(const QString& path) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                        "stream=codec_type,codec_name,width,height,r_frame_rate", "-of",
                        "default=nw=1", path});
    if (!p.waitForFinished(20000) || p.exitCode() != 0) return "failed: " + p.readAllStandardError();
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

bool hasProgram(const char* name) { return !QStandardPaths::findExecutable(name).isEmpty(); }

} // namespace

class AnimationDialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void timeCurveInsertModifyAndTexts();
    void timeCurveQuestionsDefaultToNo();
    void framesSelectionEnablingAndRange();
    void allFramesRunCaptionsAndRefusedClosing();
    void stepsReuseUpToDateRowsAndFallBack();
    void commandsGuardAndCompileWithTheirMessages();
    void playbackSeeksShowTheFrameFilesAndMp4();
};

void AnimationDialogsTest::timeCurveInsertModifyAndTexts() {
    ui::FakeUiServices ui;
    render::TimeCurve curve;
    TimeCurveDialog dialog(ui, curve, {false, true, false});
    QCOMPARE(dialog.windowTitle(), QString("Time curve"));
    QVERIFY(!dialog.button("&Remove")->isEnabled());
    QVERIFY(!dialog.button("&Modify")->isEnabled());
    QVERIFY(!dialog.button("&Clear All")->isEnabled());
    QCOMPARE(dialog.list()->headerItem()->text(0), QString("Index"));

    // Into an empty list: index 1 is proposed; 2 is refused and the dialog stays.
    bool checked = false;
    whenModal<RowEditDialog>([&](RowEditDialog* d) {
        QCOMPARE(d->windowTitle(), QString("Insertion Dialog"));
        QCOMPARE(d->field(0)->text(), QString("1"));
        QVERIFY(d->field(0)->isEnabled() && d->focusWidget() == d->field(0));
        QVERIFY(!d->field(1)->isEnabled() && d->field(2)->isEnabled() && !d->field(3)->isEnabled());
        d->field(0)->setText("2");
        d->accept();
        QCOMPARE(ui.lastText(), QString("Index must be in range 1..1"));
        QCOMPARE(ui.shown.back().icon, ui::MsgIcon::Error);
        QVERIFY(d->isVisible());
        QCOMPARE(d->field(0)->selectedText(), QString("2"));
        d->field(0)->setText("1");
        d->field(2)->setText("0.12345");
        d->accept();
        checked = true;
    });
    dialog.insertRow();
    QVERIFY(checked);
    QCOMPARE(curve.count(), 1);
    QCOMPARE(textsOf(dialog.list()->topLevelItem(0)),
             (QStringList{"         1", "", "0.123", ""}));

    // A second row before the first: the Index texts are renumbered.
    dialog.list()->clearSelection();
    whenModal<RowEditDialog>([&](RowEditDialog* d) {
        QCOMPARE(d->field(0)->text(), QString("2"));
        d->field(0)->setText("1");
        d->field(2)->setText("4");
        d->accept();
    });
    dialog.insertRow();
    QCOMPARE(curve.rowAt(1)->t2, 4.0);
    QCOMPARE(dialog.list()->topLevelItem(1)->text(0), QString("         2"));
    QCOMPARE(dialog.list()->topLevelItem(1)->text(2), QString("0.123"));

    // Modify starts from the shown text: an untouched T2 is stored with three decimals.
    dialog.list()->clearSelection();
    dialog.list()->topLevelItem(1)->setSelected(true);
    QVERIFY(dialog.button("&Modify")->isEnabled());
    whenModal<RowEditDialog>([&](RowEditDialog* d) {
        QCOMPARE(d->windowTitle(), QString("Modification Dialog"));
        QVERIFY(!d->field(0)->isEnabled());
        QCOMPARE(d->field(2)->text(), QString("0.123"));
        QCOMPARE(d->focusWidget(), d->field(2));
        d->accept();
    });
    dialog.modifyRow();
    QCOMPARE(curve.rowAt(2)->t2, 0.123);
    // Two selected: Modify is off, Remove on; Insert proposes one after the last selected.
    dialog.list()->topLevelItem(0)->setSelected(true);
    QVERIFY(!dialog.button("&Modify")->isEnabled());
    QVERIFY(dialog.button("&Remove")->isEnabled());
    whenModal<RowEditDialog>([&](RowEditDialog* d) {
        QCOMPARE(d->field(0)->text(), QString("3"));
        d->reject();
    });
    dialog.insertRow();
    QCOMPARE(curve.count(), 2);
}

void AnimationDialogsTest::timeCurveQuestionsDefaultToNo() {
    ui::FakeUiServices ui;
    render::TimeCurve curve;
    addRows(curve, {1, 2, 3});
    curve.setSelectedRow(curve.rowAt(2));
    TimeCurveDialog dialog(ui, curve, {false, true, false});
    dialog.list()->topLevelItem(1)->setSelected(true);
    ui.answers = {ui::MsgResult::No};
    dialog.removeRows();
    QCOMPARE(ui.lastText(), QString("Delete selected item(s)"));
    QCOMPARE(ui.shown.back().icon, ui::MsgIcon::Question);
    QCOMPARE(ui.shown.back().buttons, ui::MsgButtons::YesNo);
    QCOMPARE(ui.shown.back().defaultButton, ui::MsgResult::No);
    QCOMPARE(curve.count(), 3);
    ui.answers = {ui::MsgResult::Yes};
    dialog.removeRows();
    QCOMPARE(curve.count(), 2);
    QVERIFY(!curve.selectedRow()); // the chosen frame went with its row
    QCOMPARE(curve.rowAt(2)->t2, 3.0);
    QCOMPARE(dialog.list()->topLevelItem(1)->text(0), QString("         2"));
    dialog.clearAll(); // no answer queued: the default button, No
    QCOMPARE(ui.lastText(), QString("Delete all items?"));
    QCOMPARE(ui.shown.back().defaultButton, ui::MsgResult::No);
    QCOMPARE(curve.count(), 2);
    ui.answers = {ui::MsgResult::Yes};
    dialog.clearAll();
    QCOMPARE(curve.count(), 0);
    QCOMPARE(dialog.list()->topLevelItemCount(), 0);
    QVERIFY(!dialog.button("&Clear All")->isEnabled());
}

void AnimationDialogsTest::framesSelectionEnablingAndRange() {
    ui::FakeUiServices ui;
    render::TimeCurve curve;
    addRows(curve, {1, 2, 3});
    FramesSelectionDialog dialog(ui, curve);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QString("Anination Frames Selection"));
    QVERIFY(dialog.single()->isChecked());
    QCOMPARE(dialog.number()->text(), QString("1"));
    QCOMPARE(dialog.ofLabel()->text(), QString("of 3"));
    dialog.all()->click();
    QVERIFY(!dialog.number()->isEnabled() && !dialog.ofLabel()->isEnabled());
    dialog.single()->click();
    QVERIFY(dialog.number()->isEnabled());
    dialog.number()->setText("4");
    dialog.accept();
    QCOMPARE(ui.lastText(), QString("Frame number must be in range 1..3"));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.number()->selectedText(), QString("4"));
    dialog.number()->setText("3");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(curve.frameNumber(curve.selectedRow()), 3);
    QVERIFY(!curve.allFrames());
}

void AnimationDialogsTest::allFramesRunCaptionsAndRefusedClosing() {
    REQUIRE_GL();
    FramesRig rig;
    auto& [ui, worker, m, curve] = rig;
    curve.setAllFrames(true);
    FramesControl control(curve, rowWindowFactory());
    QVERIFY(!control.open(m));
    FramesControlDialog dialog(ui, worker, control);
    dialog.show();
    QVERIFY(dialog.isRendering());
    QVERIFY(dialog.showButton()->isHidden() && dialog.closeButton()->isHidden());
    // Escape, the close box and reject are all refused while rows render.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(ui.lastText(),
             QString("Closing this dialog box is disallowed when the rendering proccess active"));
    QCOMPARE(ui.shown.back().icon, ui::MsgIcon::None);
    QVERIFY(!dialog.close());
    dialog.reject();
    QCOMPARE(ui.shown.size(), std::size_t(3));
    QVERIFY(dialog.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isRendering(), 15000);
    QVERIFY(!dialog.showButton()->isHidden() && !dialog.closeButton()->isHidden());
    QCOMPARE(dialog.captionHistory(),
             (QStringList{"Current frame is 1 of 3", "Current frame is 1 of 3",
                          "Current frame is 2 of 3", "Current frame is 3 of 3"}));
    QCOMPARE(dialog.tLine(0)->text(), QString(" "));
    QCOMPARE(dialog.tLine(1)->text(), QString("T2 := 7.000"));
    QCOMPARE(dialog.tLine(2)->text(), QString(" "));
    // At the last frame Next is off and "Particular:" took over.
    QVERIFY(!dialog.choice(ShowChoice::Next)->isEnabled());
    QVERIFY(dialog.choice(ShowChoice::Particular)->isChecked());
    QVERIFY(dialog.number()->isEnabled());
    QCOMPARE(dialog.number()->text(), QString("3"));
    // Each row's window is a picture widget; only the last one is shown.
    auto* last = dynamic_cast<RowImageWindow*>(curve.rowAt(3)->job->window());
    QVERIFY(last);
    QTRY_VERIFY(last->widget()->isVisible());
    QVERIFY(!last->widget()->image().isNull());
    QCOMPARE(last->widget()->image().size(), QSize(64, 48));
    QCOMPARE(last->widget()->windowTitle(), QString("Frame: 3 of 3"));
    auto* first = dynamic_cast<RowImageWindow*>(curve.rowAt(1)->job->window());
    QVERIFY(!first->widget()->isVisible());
    QCOMPARE(first->clientOrigin().x, last->clientOrigin().x);
    QCOMPARE(first->clientOrigin().y, last->clientOrigin().y);
    // Closing now hides the shown frame and ends the dialog.
    dialog.closeButton()->click();
    QVERIFY(!dialog.isVisible());
    QVERIFY(!curve.rowAt(3)->job->isVisible());
}

void AnimationDialogsTest::stepsReuseUpToDateRowsAndFallBack() {
    REQUIRE_GL();
    FramesRig rig;
    auto& [ui, worker, m, curve] = rig;
    curve.setSelectedRow(curve.rowAt(2));
    FramesControl control(curve, rowWindowFactory());
    QVERIFY(!control.open(m));
    FramesControlDialog dialog(ui, worker, control);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isRendering(), 15000);
    QCOMPARE(dialog.currentGroup()->title(), QString("Current frame is 2 of 3"));
    QVERIFY(dialog.choice(ShowChoice::Next)->isChecked());
    QVERIFY(!dialog.number()->isEnabled());
    QVERIFY(render::rowIsUpToDate(*curve.rowAt(2)));
    QVERIFY(!curve.rowAt(1)->job); // single-frame mode made only the row it shows

    dialog.choice(ShowChoice::Next)->click();
    dialog.showTarget();
    QVERIFY(dialog.isRendering());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isRendering(), 15000);
    QCOMPARE(control.renderedByLastRun(), 1);
    QCOMPARE(dialog.currentGroup()->title(), QString("Current frame is 3 of 3"));
    QVERIFY(dialog.choice(ShowChoice::Particular)->isChecked());

    // Back to frame 2: up to date, so shown where frame 3 was without rendering.
    const render::ScreenPoint place = curve.rowAt(3)->job->window()->clientOrigin();
    dialog.choice(ShowChoice::Previous)->click();
    QVERIFY(!dialog.number()->isEnabled());
    dialog.showTarget();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isRendering(), 15000);
    QCOMPARE(control.renderedByLastRun(), 0);
    QCOMPARE(curve.rowAt(2)->job->window()->clientOrigin().x, place.x);
    QCOMPARE(curve.rowAt(2)->job->window()->clientOrigin().y, place.y);
    QVERIFY(curve.rowAt(2)->job->isVisible());
    QVERIFY(!curve.rowAt(3)->job->isVisible());

    // A particular number out of range: the message, focus on the edit, nothing rendered.
    dialog.choice(ShowChoice::Particular)->click();
    dialog.number()->setText("abc");
    dialog.showTarget();
    QCOMPARE(ui.lastText(), QString("Selected frame index must be in range\nfrom 1 to 3"));
    QCOMPARE(ui.shown.back().icon, ui::MsgIcon::Information);
    QVERIFY(!dialog.isRendering());
    dialog.number()->setText("1");
    dialog.showTarget();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isRendering(), 15000);
    QVERIFY(!dialog.choice(ShowChoice::Previous)->isEnabled());
    dialog.done(QDialog::Rejected);

    // One row: Next and Previous both off, "Particular:" chosen, the edit shows 1.
    render::TimeCurve one;
    addRows(one, {4});
    FramesControl single(one, rowWindowFactory());
    QVERIFY(!single.open(m));
    FramesControlDialog oneRow(ui, worker, single);
    QVERIFY(!oneRow.choice(ShowChoice::Next)->isEnabled());
    QVERIFY(!oneRow.choice(ShowChoice::Previous)->isEnabled());
    QVERIFY(oneRow.choice(ShowChoice::Particular)->isChecked());
    QCOMPARE(oneRow.number()->text(), QString("1"));
    QTRY_VERIFY_WITH_TIMEOUT(!oneRow.isRendering(), 15000);
}

void AnimationDialogsTest::commandsGuardAndCompileWithTheirMessages() {
    REQUIRE_GL();
    QTemporaryDir dir;
    ui::FakeUiServices ui;
    render::RenderWorker worker;
    model::Model m = growingModel(0);
    render::TimeCurve curve;
    render::TempFilm film;
    QVERIFY(film.reserve(dir.path().toStdString()));
    AnimationCommands commands(ui, m, worker, curve, film);
    commands.timeCurve(nullptr);
    QCOMPARE(ui.lastText(), QString(kTimeVariablesNeeded));
    QCOMPARE(ui.shown.back().icon, ui::MsgIcon::Information);
    commands.framesSelection(nullptr);
    QCOMPARE(ui.lastText(), QString("Lumovar expects you to  define Time Curve, at first"));
    addRows(curve, {3, 5});
    commands.renderAnimation(nullptr);
    QCOMPARE(ui.lastText(), QString(kNoTimeParameters));

    // The three messages of "Compile Frames to &AVI".
    QVERIFY(worker.start([] { QThread::msleep(200); }));
    commands.compileFrames(nullptr);
    QCOMPARE(ui.lastText(), QString(kExportBusy));
    QCOMPARE(ui.shown.back().icon, ui::MsgIcon::Warning);
    worker.wait();
    commands.compileFrames(nullptr);
    QCOMPARE(ui.lastText(), QString(kNoReadyFrames));
    QVERIFY(!commands.canPlay());
    m = growingModel(2);
    curve.setAllFrames(true);
    whenModal<FramesControlDialog>([](FramesControlDialog* d) {
        QTRY_VERIFY_WITH_TIMEOUT(!d->isRendering(), 15000);
        d->closeButton()->click();
    });
    commands.renderAnimation(nullptr);
    QVERIFY(curve.rowAt(1)->job && curve.rowAt(2)->job);
    QVERIFY(render::rowIsUpToDate(*curve.rowAt(2)));
    commands.compileFrames(nullptr);
    QCOMPARE(ui.lastText(), QString(kFilmBuilt));
    QCOMPARE(ui.shown.back().icon, ui::MsgIcon::Information);
    QVERIFY(commands.canPlay());
    if (!hasProgram("ffprobe")) QSKIP("ffprobe is not installed");
    const QString info = probe(QString::fromStdString(film.path()));
    QVERIFY2(info.contains("codec_type=video"), qPrintable(info));
    QVERIFY2(info.contains("width=64") && info.contains("height=48"), qPrintable(info));
    QVERIFY2(info.contains("r_frame_rate=15/1"), qPrintable(info));
}

void AnimationDialogsTest::playbackSeeksShowTheFrameFilesAndMp4() {
    REQUIRE_GL();
    QTemporaryDir dir;
    ui::FakeUiServices ui;
    model::Model m = growingModel(2);
    render::TimeCurve curve;
    addRows(curve, {3, 5, 7});
    QVERIFY(curve.resetFrames(m));
    for (int k = 1; k <= 3; ++k) curve.prepareJob(*curve.rowAt(k), rowWindowFactory())->render();
    // The frame files, as the frame-series export writes them.
    std::string error;
    QVERIFY2(exporter::saveFrameSeries(render::frameSeriesSource(curve),
                                       dir.filePath("frame").toStdString(), ".bmp", error),
             error.c_str());
    render::TempFilm film;
    QVERIFY(film.reserve(dir.path().toStdString()));
    QVERIFY2(film.compile(render::renderedFrames(curve), error), error.c_str());
    // The player reads through the held descriptor: even with the name gone it plays.
    const std::string path = film.path();
    QVERIFY(QFile::rename(QString::fromStdString(path), dir.filePath("moved.avi")));
    PlaybackDialog player(ui, film.handle(), path);
    QVERIFY2(player.isOpen(), player.error().c_str());
    QCOMPARE(player.windowTitle(), QString("Animation Playback"));
    QVERIFY(QFile::rename(dir.filePath("moved.avi"), QString::fromStdString(path)));
    QCOMPARE(player.seekBar()->maximum(), 29);
    const QStringList files = QDir(dir.path()).entryList({"frame*.bmp"}, QDir::Files, QDir::Name);
    QCOMPARE(files.size(), 3);
    for (int k = 0; k < 3; ++k) {
        player.seek(static_cast<std::uint32_t>(10 * k));
        const QImage expected = QImage(dir.filePath(files[k])).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!expected.isNull());
        QCOMPARE(player.shownImage(), expected);
    }
    QVERIFY(player.shownImage() != QImage(dir.filePath(files[0])).convertToFormat(
                                       QImage::Format_RGB32)); // the frames differ
    // Playing advances one sample per tick and stops at the end.
    player.seek(27);
    player.play();
    QVERIFY(player.isPlaying());
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 3000);
    QCOMPARE(player.sample(), 29u);

    // Without ffmpeg on PATH the player says so.
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", dir.path().toLocal8Bit());
    player.saveAs(true);
    qputenv("PATH", oldPath);
    QCOMPARE(ui.lastText(), QString(render::kFfmpegMissing));
    if (!hasProgram("ffmpeg") || !hasProgram("ffprobe")) QSKIP("ffmpeg is not installed");
    const QString mp4 = dir.filePath("film.mp4");
    ui.fileNames = {mp4};
    player.saveAs(true);
    QVERIFY2(QFile::exists(mp4), qPrintable(ui.lastText()));
    const QString info = probe(mp4);
    QVERIFY2(info.contains("codec_name=h264") && info.contains("width=64"), qPrintable(info));
}

QTEST_MAIN(AnimationDialogsTest)
#include "animation_dialogs_test.moc"
