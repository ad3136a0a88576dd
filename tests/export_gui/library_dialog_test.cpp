// "Library Properties" over a real source cache: its states and texts, a bad library file, OK
// and Cancel, and programs that compile only while the library is set.
#include "dialogs/library_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/library.h"

using namespace lv;
using dialogs::LibraryDialog;
namespace fs = std::filesystem;

namespace {

const char* kLibrary = "half(x[3], a[0]) { half = 0.5 - x[1]; }\n"
                       "wave(x[4], a[2]) { wave = a[1] * x[4]; }\n";
const char* kProgram = "user(x[3], a[0]) { user = half(x, a); }\n";

QStringList headerTitles(QTreeWidget* list) {
    QStringList titles;
    for (int i = 0; i < list->columnCount(); ++i) titles << list->headerItem()->text(i);
    return titles;
}

QStringList rowTexts(QTreeWidget* list, int row) {
    QStringList texts;
    for (int i = 0; i < list->columnCount(); ++i) texts << list->topLevelItem(row)->text(i);
    return texts;
}

} // namespace

class LibraryDialogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { QVERIFY(dir_.isValid()); }
    void withoutLibraryEverythingButTheCheckBoxIsOff();
    void aValidLibraryListsItsFunctions();
    void aBadFileIsReportedAndKeptOnOk();
    void okAndCancelRoundTrips();
    void aLibraryThatChangedOrWentIsReadAgainOnOpening();
    void aProgramCompilesOnlyWithTheLibrary();

private:
    // Writes text to name in the folder, seconds after a fixed time.
    std::string write(const std::string& name, const std::string& text, int seconds) {
        const std::string p = dir_.filePath(QString::fromStdString(name)).toStdString();
        std::ofstream(p) << text;
        fs::last_write_time(p, app::initialFileTime() + std::chrono::hours(24 * 365 * 40) +
                                   std::chrono::seconds(seconds));
        return p;
    }
    QTemporaryDir dir_;
};

void LibraryDialogTest::withoutLibraryEverythingButTheCheckBoxIsOff() {
    app::SourceCache cache;
    ui::FakeUiServices ui;
    LibraryDialog d(ui, cache);
    QCOMPARE(d.windowTitle(), QString("Library Properties"));
    QVERIFY(!d.enableBox()->isChecked());
    QVERIFY(d.enableBox()->isEnabled());
    QVERIFY(!d.pathField()->isEnabled() && !d.browseButton()->isEnabled());
    QVERIFY(!d.showPathBox()->isEnabled() && !d.functions()->isEnabled());
    QVERIFY(!d.pathLabel()->isEnabled());
    QVERIFY(!d.showPathBox()->isChecked());
    QVERIFY(d.pathField()->isReadOnly());
    QVERIFY(d.pathField()->text().isEmpty());
    d.enableBox()->click();
    QVERIFY(d.enableBox()->isChecked());
    QVERIFY(d.browseButton()->isEnabled() && d.functions()->isEnabled());
    QCOMPARE(headerTitles(d.functions()), QStringList{"Library was not set."});
    QCOMPARE(d.functions()->topLevelItemCount(), 0);
    QCOMPARE(d.pathField()->accessibleName(), QString("Select External Library:"));
    QCOMPARE(d.browseButton()->accessibleName(), QString("Browse"));
}

void LibraryDialogTest::aValidLibraryListsItsFunctions() {
    const std::string lib = write("Lib.lv", kLibrary, 10);
    app::SourceCache cache;
    ui::FakeUiServices ui;
    LibraryDialog d(ui, cache);
    d.enableBox()->click();
    ui.fileNames = {QString::fromStdString(lib)};
    d.browseButton()->click();
    QCOMPARE(ui.fileDialogTitles.size(), std::size_t(1));
    QCOMPARE(ui.fileDialogTitles.back(), QString("Select file with source text ..."));
    QVERIFY(ui.fileDialogFilters.back().startsWith("Lumovar Files (*.LV"));
    QVERIFY(ui.shown.empty()); // valid: no report
    QCOMPARE(headerTitles(d.functions()), (QStringList{"Name", "X dim", "A dim"}));
    QCOMPARE(d.functions()->columnWidth(1), 60);
    QCOMPARE(d.functions()->topLevelItemCount(), 2);
    QCOMPARE(rowTexts(d.functions(), 0), (QStringList{"half", "3", "0"}));
    QCOMPARE(rowTexts(d.functions(), 1), (QStringList{"wave", "4", "2"}));
    QCOMPARE(d.pathField()->text(), QString("Lib.lv"));
    d.showPathBox()->click();
    QCOMPARE(d.pathField()->text(), QString::fromStdString(lib));
    d.showPathBox()->click();
    QCOMPARE(d.pathField()->text(), QString("Lib.lv"));
    // Switched off: nothing shown, everything but the check box disabled.
    d.enableBox()->click();
    QVERIFY(d.pathField()->text().isEmpty() && !d.functions()->isEnabled());
    QCOMPARE(d.functions()->topLevelItemCount(), 0);

    // A library without objects.
    const std::string empty = write("empty.lv", "-- nothing here\n", 11);
    d.enableBox()->click();
    ui.fileNames = {QString::fromStdString(empty)};
    d.browse();
    QCOMPARE(headerTitles(d.functions()), QStringList{"No functions in library."});
}

void LibraryDialogTest::aBadFileIsReportedAndKeptOnOk() {
    const std::string bad = write("bad.lv", "half(x[3], a[0]) {\n half = ;\n}\n", 10);
    app::SourceCache cache;
    ui::FakeUiServices ui;
    LibraryDialog d(ui, cache);
    d.enableBox()->click();
    ui.fileNames = {QString::fromStdString(bad)};
    d.browse();
    QCOMPARE(ui.shown.size(), std::size_t(1));
    QCOMPARE(ui.shown[0].icon, ui::MsgIcon::Error);
    QVERIFY2(ui.shown[0].text.startsWith("Program contains errors:\nError text: "),
             qPrintable(ui.shown[0].text));
    QVERIFY(ui.shown[0].text.endsWith("\nLine: 2"));
    QCOMPARE(headerTitles(d.functions()), QStringList{"Library is not valid."});
    QCOMPARE(d.pathField()->text(), QString("bad.lv")); // the file is taken all the same
    QTimer::singleShot(0, &d, [&d] { d.accept(); });
    d.session().apply(cache);
    QVERIFY(cache.library());
    QVERIFY(cache.library()->hasError());
    QCOMPARE(cache.library()->path, bad);
    QVERIFY(cache.libraryObjects().empty()); // compilations get no library objects

    // An unreadable file: kept too, with the reason.
    ui::FakeUiServices ui2;
    LibraryDialog again(ui2, cache);
    QVERIFY(again.enableBox()->isChecked());
    QCOMPARE(headerTitles(again.functions()), QStringList{"Library is not valid."});
    ui2.fileNames = {dir_.filePath("gone.lv")};
    again.browse();
    QVERIFY(ui2.lastText().contains("gone.lv"));
    QVERIFY(ui2.lastText().contains("No such file or directory"));
    QCOMPARE(headerTitles(again.functions()), QStringList{"Library is not valid."});
    QVERIFY(rowTexts(again.functions(), 0).front().contains("No such file"));
}

void LibraryDialogTest::okAndCancelRoundTrips() {
    const std::string lib = write("lib.lv", kLibrary, 10);
    app::SourceCache cache;
    ui::FakeUiServices ui;
    auto run = [&](std::function<void(LibraryDialog&)> act, bool ok) {
        QTimer::singleShot(0, [&, act, ok] {
            auto* d = dynamic_cast<LibraryDialog*>(QApplication::activeModalWidget());
            QVERIFY(d);
            act(*d);
            if (ok)
                d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            else
                d->reject();
        });
        return dialogs::runLibraryDialog(nullptr, ui, cache);
    };
    // Enabled with a file, then OK: the cache has it.
    ui.fileNames = {QString::fromStdString(lib)};
    QVERIFY(run([](LibraryDialog& d) { d.enableBox()->click(); d.browse(); }, true));
    QVERIFY(cache.library());
    const auto first = cache.library();
    QCOMPARE(cache.libraryObjects().size(), std::size_t(2));
    // Cancel after switching off: nothing changes.
    QVERIFY(!run([](LibraryDialog& d) { d.enableBox()->click(); }, false));
    QCOMPARE(cache.library(), first);
    // Opening again shows it enabled; OK unchanged keeps it.
    QVERIFY(run([](LibraryDialog& d) { QVERIFY(d.enableBox()->isChecked()); }, true));
    QVERIFY(cache.library());
    QCOMPARE(cache.library()->path, lib);
    // Switched off and OK: removed.
    QVERIFY(run([](LibraryDialog& d) { d.enableBox()->click(); }, true));
    QVERIFY(!cache.library());
    // On again without choosing a file: still none.
    QVERIFY(run([](LibraryDialog& d) { d.enableBox()->click(); }, true));
    QVERIFY(!cache.library());
}

void LibraryDialogTest::aLibraryThatChangedOrWentIsReadAgainOnOpening() {
    const std::string lib = write("lib.lv", kLibrary, 10);
    app::SourceCache cache;
    std::string error;
    QVERIFY(app::setLibraryFile(cache, lib, error));
    const auto before = cache.library();
    write("lib.lv", "only(x[3], a[1]) { only = a[1]; }\n", 20);
    ui::FakeUiServices ui;
    {
        LibraryDialog d(ui, cache);
        QCOMPARE(d.functions()->topLevelItemCount(), 1);
        QCOMPARE(rowTexts(d.functions(), 0), (QStringList{"only", "3", "1"}));
        d.reject();
    }
    QCOMPARE(cache.library(), before); // the cache's own library is untouched until OK
    fs::remove(lib);
    LibraryDialog d(ui, cache);
    QVERIFY(d.enableBox()->isChecked());
    QCOMPARE(headerTitles(d.functions()), QStringList{"Library is not valid."});
    QVERIFY(rowTexts(d.functions(), 0).front().contains("No such file or directory"));
    QVERIFY(ui.shown.empty()); // opening reports in the list, not with a box
}

void LibraryDialogTest::aProgramCompilesOnlyWithTheLibrary() {
    const std::string lib = write("lib.lv", kLibrary, 10);
    const std::string prog = write("prog.lv", kProgram, 20); // newer than the library
    app::SourceCache cache;
    auto without = cache.lookup(prog);
    QVERIFY(without && without->hasError());
    ui::FakeUiServices ui;
    dialogs::LibrarySession session(cache);
    session.setEnabled(true);
    QVERIFY(session.browse(lib).empty());
    session.apply(cache);
    auto with = cache.lookup(prog);
    QVERIFY(with);
    QVERIFY(!with->hasError());
    QCOMPARE(with->objects.size(), std::size_t(1));
    QCOMPARE(cache.lookup(prog), with); // current against that library: reused
    session.setEnabled(false);
    session.apply(cache);
    auto again = cache.lookup(prog);
    QVERIFY(again && again->hasError()); // compiled again without the library
}

QTEST_MAIN(LibraryDialogTest)
#include "library_dialog_test.moc"
