// The animation dialogs' rules without widgets: time curve texts and row edits, the frames
// selection, the frames control's display and runs of rows (rendered headless), the film
// command's messages, where the temporary film lives, and playback timing.
#include "dialogs/animation_rules.h"

#include <QtTest>

#include "animation_test_support.h"

using namespace lv;
using namespace lv::dialogs;
using lv::dialogs::testing::addRows;
using lv::dialogs::testing::growingModel;

class AnimationRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void guardsInOrder();
    void timeCurveTextsAndButtons();
    void insertionEditChecksTheIndexAndNumbers();
    void modificationReadsTheShownTextBack();
    void framesSelectionStartAndStore();
    void framesControlDisplayAndTargets();
    void runRendersRowsOneAfterAnotherAndReusesUpToDateOnes();
    void compileCommandMessagesAndReadiness();
    void playbackTiming();
};

void AnimationRulesTest::guardsInOrder() {
    render::TimeCurve curve;
    model::Model empty;
    QCOMPARE(animationGuard(false, empty, curve)->text, std::string(kRenderBusy));
    QCOMPARE(animationGuard(true, empty, curve)->text, std::string(kNoObjectsToRender));
    model::Model constant = growingModel(0);
    addRows(curve, {1.0});
    // No time binding: refused even though the curve has rows.
    QCOMPARE(animationGuard(true, constant, curve)->text, std::string(kNoTimeParameters));
    QCOMPARE(timeVariableGuard(constant)->icon, NoticeIcon::Information);
    model::Model timed = growingModel(2);
    QVERIFY(!timeVariableGuard(timed));
    QVERIFY(!animationGuard(true, timed, curve));
    render::TimeCurve none;
    QCOMPARE(animationGuard(true, timed, none)->text,
             std::string("Animation Time Curve must be defined"));
    QCOMPARE(framesSelectionGuard(none)->text,
             std::string("Lumovar expects you to  define Time Curve, at first"));
    QVERIFY(!framesSelectionGuard(curve));
}

void AnimationRulesTest::timeCurveTextsAndButtons() {
    QCOMPARE(indexText(3), std::string("         3"));
    QCOMPARE(indexText(12), std::string("        12"));
    render::TimeCurveRow row;
    row.t1 = 0.12345, row.t2 = 0.5, row.t3 = -2;
    const auto onlyT2 = rowValueTexts(row, {false, true, false});
    QCOMPARE(onlyT2[0], std::string());
    QCOMPARE(onlyT2[1], std::string("0.500"));
    QCOMPARE(onlyT2[2], std::string());
    QCOMPARE(rowValueTexts(row, {true, true, true})[0], std::string("0.123"));
    const auto none = timeCurveButtons(0, 0);
    QVERIFY(!none.remove && !none.modify && !none.clearAll);
    const auto one = timeCurveButtons(1, 3);
    QVERIFY(one.remove && one.modify && one.clearAll);
    const auto two = timeCurveButtons(2, 3);
    QVERIFY(two.remove && !two.modify);
    QCOMPARE(proposedInsertIndex({}, 0), 1);
    QCOMPARE(proposedInsertIndex({}, 4), 5);
    QCOMPARE(proposedInsertIndex({2, 5}, 6), 6);
}

void AnimationRulesTest::insertionEditChecksTheIndexAndNumbers() {
    const model::TimeUsage t2{false, true, false};
    RowEdit edit = insertionEdit(1, t2);
    QCOMPARE(edit.caption, std::string("Insertion Dialog"));
    QCOMPARE(edit.index, std::string("1"));
    QVERIFY(edit.indexEnabled);
    QCOMPARE(edit.focusField, 0);
    QVERIFY(!edit.valueEnabled[0] && edit.valueEnabled[1] && !edit.valueEnabled[2]);
    QCOMPARE(edit.values[1], std::string("0.0"));
    RowValues out;
    // An empty list takes index 1 only.
    auto refusal = readRowEdit(edit, "2", {"", "1", ""}, true, 0, out);
    QVERIFY(refusal);
    QCOMPARE(refusal->text, std::string("Index must be in range 1..1"));
    QCOMPARE(refusal->icon, NoticeIcon::Error);
    QCOMPARE(refusal->field, 0);
    refusal = readRowEdit(edit, "0", {"", "1", ""}, true, 0, out);
    QCOMPARE(refusal->text, std::string("Index must be in range 1..1"));
    refusal = readRowEdit(edit, "x1", {"", "1", ""}, true, 0, out);
    QCOMPARE(refusal->field, 0);
    refusal = readRowEdit(edit, "1", {"", "abc", ""}, true, 0, out);
    QCOMPARE(refusal->text, std::string(kEnterNumber));
    QCOMPARE(refusal->field, 2);
    refusal = readRowEdit(edit, "1", {"", "1e39", ""}, true, 0, out);
    QCOMPARE(refusal->text, std::string(kEnterFinite));
    // Disabled edits are not read, whatever they hold.
    QVERIFY(!readRowEdit(edit, " 1 ", {"junk", "2.5", "junk"}, true, 0, out));
    QCOMPARE(out.index, 1);
    QCOMPARE(out.values[1], 2.5);

    render::TimeCurve curve;
    addRows(curve, {1, 2});
    RowValues front{1, {9, 7, 9}};
    render::TimeCurveRow* row = insertRowValues(curve, front, t2);
    QCOMPARE(curve.frameNumber(row), 1);
    QCOMPARE(row->t2, 7.0);
    QCOMPARE(row->t1, 0.0); // unused variables start at 0
    QCOMPARE(curve.rowAt(2)->t2, 1.0);
    QVERIFY(insertRowValues(curve, RowValues{4, {0, 3, 0}}, t2));
    QCOMPARE(curve.rowAt(4)->t2, 3.0);
}

void AnimationRulesTest::modificationReadsTheShownTextBack() {
    const model::TimeUsage t1t2{true, true, false};
    render::TimeCurveRow row;
    row.t1 = 0.12345, row.t2 = 2.0, row.t3 = 8.0;
    const auto shown = rowValueTexts(row, t1t2);
    RowEdit edit = modificationEdit(4, shown, t1t2);
    QCOMPARE(edit.caption, std::string("Modification Dialog"));
    QCOMPARE(edit.index, std::string("4"));
    QVERIFY(!edit.indexEnabled);
    QCOMPARE(edit.values[0], std::string("0.123"));
    QCOMPARE(edit.focusField, 1);
    RowValues out;
    QVERIFY(!readRowEdit(edit, edit.index, edit.values, false, 5, out));
    modifyRowValues(row, out, t1t2);
    QCOMPARE(row.t1, 0.123); // untouched T1 comes back with three decimals
    QCOMPARE(row.t2, 2.0);
    QCOMPARE(row.t3, 8.0); // unused variable unchanged
    // Only T3 used: the focus goes to the T3 edit.
    QCOMPARE(modificationEdit(1, {"", "", "1.000"}, {false, false, true}).focusField, 3);
}

void AnimationRulesTest::framesSelectionStartAndStore() {
    render::TimeCurve curve;
    addRows(curve, {1, 2, 3});
    FramesSelection s = framesSelectionOf(curve);
    QVERIFY(s.single);
    QCOMPARE(s.number, std::string("1"));
    QCOMPARE(s.ofLabel, std::string("of 3"));
    auto refusal = storeFramesSelection(curve, true, "abc");
    QCOMPARE(refusal->text, std::string("Frame number must be in range 1..3"));
    QCOMPARE(refusal->icon, NoticeIcon::Error);
    QVERIFY(!curve.selectedRow());
    QVERIFY(!storeFramesSelection(curve, true, "2"));
    QCOMPARE(curve.frameNumber(curve.selectedRow()), 2);
    QVERIFY(!curve.allFrames());
    QCOMPARE(framesSelectionOf(curve).number, std::string("2"));
    // All frames keeps the selected row; the number is not checked.
    QVERIFY(!storeFramesSelection(curve, false, "99"));
    QVERIFY(curve.allFrames());
    QCOMPARE(curve.frameNumber(curve.selectedRow()), 2);
    QVERIFY(!framesSelectionOf(curve).single);
    // Removing the chosen row makes a run start at the first row again.
    curve.removeRow(curve.rowAt(2));
    QCOMPARE(curve.startRow(), curve.rowAt(1));
}

void AnimationRulesTest::framesControlDisplayAndTargets() {
    model::Model m = growingModel(2);
    render::TimeCurve one;
    addRows(one, {0.5});
    FramesControl single(one, {});
    QVERIFY(!single.open(m));
    FramesDisplay d = single.display();
    QCOMPARE(d.groupCaption, std::string("Current frame is 1 of 1"));
    QCOMPARE(d.tLines[0], std::string(" "));
    QCOMPARE(d.tLines[1], std::string("T2 := 0.500"));
    QCOMPARE(d.tLines[2], std::string(" "));
    QCOMPARE(d.numberText, std::string("1"));
    QVERIFY(!d.nextEnabled && !d.previousEnabled);
    QCOMPARE(fallbackChoice(ShowChoice::Next, d), ShowChoice::Particular);
    QCOMPARE(fallbackChoice(ShowChoice::Previous, d), ShowChoice::Particular);

    render::TimeCurve curve;
    addRows(curve, {1, 2, 3});
    curve.setSelectedRow(curve.rowAt(2));
    FramesControl control(curve, {});
    QVERIFY(!control.open(m));
    d = control.display();
    QCOMPARE(d.frameNumber, 2);
    QVERIFY(d.nextEnabled && d.previousEnabled);
    QCOMPARE(fallbackChoice(ShowChoice::Next, d), ShowChoice::Next);
    auto refusal = control.chooseTarget(ShowChoice::Particular, "abc");
    QCOMPARE(refusal->text, std::string("Selected frame index must be in range\nfrom 1 to 3"));
    QCOMPARE(refusal->icon, NoticeIcon::Information);
    QCOMPARE(control.display().frameNumber, 2); // nothing moved
    QVERIFY(!control.chooseTarget(ShowChoice::Next, ""));
    QCOMPARE(control.display().frameNumber, 3);
    QVERIFY(!control.display().nextEnabled);
    QVERIFY(!control.chooseTarget(ShowChoice::Particular, "1"));
    QVERIFY(!control.display().previousEnabled);
    QVERIFY(!control.allFrames());
}

void AnimationRulesTest::runRendersRowsOneAfterAnotherAndReusesUpToDateOnes() {
    REQUIRE_GL();
    model::Model m = growingModel(2);
    render::TimeCurve curve;
    addRows(curve, {3, 5, 7});
    curve.setAllFrames(true);
    FramesControl control(curve, {});
    QVERIFY(!control.open(m));
    QVERIFY(!control.prepareJobs());
    std::vector<std::string> captions;
    control.runRows([&](const FramesDisplay& d) { captions.push_back(d.groupCaption); });
    QCOMPARE(captions, (std::vector<std::string>{"Current frame is 1 of 3",
                                                 "Current frame is 2 of 3",
                                                 "Current frame is 3 of 3"}));
    QCOMPARE(control.renderedByLastRun(), 3);
    for (int k = 1; k <= 3; ++k) QVERIFY(render::rowIsUpToDate(*curve.rowAt(k)));
    // Only the last row's window is left visible.
    QVERIFY(!curve.rowAt(1)->job->isVisible());
    QVERIFY(curve.rowAt(3)->job->isVisible());
    QCOMPARE(curve.rowAt(3)->job->caption(), std::string("Frame: 3 of 3"));

    // Previous: row 2 is up to date, so it is shown again, not rendered.
    QVERIFY(!control.chooseTarget(ShowChoice::Previous, ""));
    QVERIFY(!control.prepareJobs());
    captions.clear();
    control.runRows([&](const FramesDisplay& d) { captions.push_back(d.groupCaption); });
    QCOMPARE(captions, std::vector<std::string>{"Current frame is 2 of 3"});
    QCOMPARE(control.renderedByLastRun(), 0);
    QVERIFY(curve.rowAt(2)->job->isVisible());
    QVERIFY(!curve.rowAt(3)->job->isVisible());

    // A row whose values changed since its render is rendered again with its new values.
    curve.rowAt(2)->t2 = 6;
    QVERIFY(!control.prepareJobs());
    control.runRows({});
    QCOMPARE(control.renderedByLastRun(), 1);
    QCOMPARE(curve.rowAt(2)->job->t2(), 6.0);
    QVERIFY(render::rowIsUpToDate(*curve.rowAt(2)));

    // Reopening deletes every frame: the next run renders anew.
    QVERIFY(!control.open(m));
    QVERIFY(!curve.anyFrameRendered());
}

void AnimationRulesTest::compileCommandMessagesAndReadiness() {
    REQUIRE_GL();
    QTemporaryDir dir;
    render::TempFilm film;
    render::TimeCurve curve;
    addRows(curve, {3, 5, 7});
    QCOMPARE(compileFramesCommand(false, curve, film).icon, NoticeIcon::Warning);
    QCOMPARE(compileFramesCommand(false, curve, film).text, std::string(kExportBusy));
    Notice m = compileFramesCommand(true, curve, film);
    QCOMPARE(m.text, std::string("There are no ready animation frames.\nOperation canceled."));
    QCOMPARE(m.icon, NoticeIcon::Information);
    // Rows 1 and 3 rendered, row 2 not: the film holds two frames at samples 0 and 10.
    model::Model model = growingModel(2);
    QVERIFY(curve.resetFrames(model));
    for (int k : {1, 3}) curve.prepareJob(*curve.rowAt(k))->render();
    // Not reserved: the film cannot be written and is not ready.
    m = compileFramesCommand(true, curve, film);
    QCOMPARE(m.text, std::string(kFilmFailed));
    QCOMPARE(m.icon, NoticeIcon::Error);
    QVERIFY(!film.isReady());
    QVERIFY(film.reserve(dir.path().toStdString()));
    m = compileFramesCommand(true, curve, film);
    QCOMPARE(m.text,
             std::string("The animated film has been built successfuly.\nUse \"View\" menu to "
                         "access it."));
    QVERIFY(film.isReady());
    FilmPlayback playback;
    std::string error;
    QVERIFY2(playback.open(film.handle(), film.path(), error), error.c_str());
    QCOMPARE(playback.reader().frameCount(), 2);
    QCOMPARE(playback.reader().frameSample(1), 10u);
    QCOMPARE(playback.reader().rate(), 15u);
}

void AnimationRulesTest::playbackTiming() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("three.avi").toStdString();
    std::vector<exporter::PackedDib> frames;
    for (std::uint8_t c : {10, 120, 240}) frames.push_back(testing::solidFrame(8, 6, c, 0, 0));
    std::string error;
    QVERIFY2(render::writeAviFile(path, render::framesOf(frames), error), error.c_str());
    FilmPlayback playback;
    QVERIFY2(playback.open(-1, path, error), error.c_str());
    QCOMPARE(playback.samples(), 30u);
    QCOMPARE(playback.seek(0), 0);
    QCOMPARE(playback.seek(9), 0);
    QCOMPARE(playback.seek(10), 1);
    QCOMPARE(playback.seek(20), 2);
    QCOMPARE(playback.seek(500), 2); // clamped to the last sample
    QCOMPARE(playback.sample(), 29u);
    QVERIFY(!playback.tick()); // the end stops the clock
    playback.seek(8);
    QVERIFY(playback.tick() && playback.tick());
    QCOMPARE(playback.frameIndex(), 1);
    QCOMPARE(kPlaybackIntervalMs, 66);
}

QTEST_GUILESS_MAIN(AnimationRulesTest)
#include "animation_rules_test.moc"
