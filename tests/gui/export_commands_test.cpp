// Run > "&Export to ..." and Options > "&Library" in the main window: the guard, the dialogs
// over the application's own state, and compiling a document against the library chosen.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/command_table.h"
#include "app/source_document.h"
#include "dialogs/export_dialog.h"
#include "dialogs/library_dialog.h"
#include "tests/gui/gui_test_util.h"

using namespace lv::app;
using lv::test::GuiFixture;

namespace {

// Runs act on the modal dialog of type D once it is open (it must open).
template <class D>
void onModal(std::function<void(D&)> act, bool* seen) {
    QTimer::singleShot(0, [act, seen] {
        auto* d = dynamic_cast<D*>(QApplication::activeModalWidget());
        *seen = d != nullptr;
        if (d) act(*d);
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
}

} // namespace

class ExportCommandsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { lv::test::useTestSettings("export_commands_tests"); }

    void exportOpensItsDialogWhenIdle() {
        GuiFixture f;
        QVERIFY(MainWindow::hasHandler(kCmdRunExport));
        f.window->refreshCommands();
        QVERIFY(f.window->action(kCmdRunExport)->isEnabled());
        bool seen = false;
        QStringList offered;
        onModal<lv::dialogs::ExportDialog>(
            [&](lv::dialogs::ExportDialog& d) {
                for (int i = 0; i < 5; ++i) {
                    d.sources()->setCurrentIndex(i);
                    if (d.fileName()->isEnabled()) offered << d.sources()->currentText();
                }
            },
            &seen);
        f.window->execute(kCmdRunExport);
        QVERIFY(seen);
        QVERIFY(offered.isEmpty()); // nothing rendered yet
        QVERIFY(f.ui.shown.empty());

        f.blockWorker();
        f.window->execute(kCmdRunExport);
        QCOMPARE(f.ui.lastText(), QString("The exporting function is disallowed when the "
                                          "rendering proccess active"));
        f.unblockWorker();
    }

    void libraryChosenInTheDialogServesTheCompileCommand() {
        GuiFixture f;
        const QString lib = f.write("lib.lv", "half(x[3], a[0]) { half = 0.5 - x[1]; }\n");
        const QString prog = f.write("prog.lv", "user(x[3], a[0]) { user = half(x, a); }\n");
        QVERIFY(f.window->openFile(prog));
        f.window->execute(kCmdRunCompile);
        QVERIFY(f.ui.lastText().startsWith("Program contains errors:"));

        f.ui.fileNames = {lib};
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* d = dynamic_cast<lv::dialogs::LibraryDialog*>(QApplication::activeModalWidget());
            seen = d != nullptr;
            if (!d) return;
            d->enableBox()->click();
            d->browse();
            d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        QVERIFY(MainWindow::hasHandler(kCmdOptionsLibrary));
        f.window->execute(kCmdOptionsLibrary);
        QVERIFY(seen);
        QVERIFY(f.state.sources.library());
        f.window->execute(kCmdRunCompile);
        QCOMPARE(f.ui.lastText(), QString("Compilation successfull"));

        // Switched off again: the program no longer compiles.
        QTimer::singleShot(0, [&] {
            auto* d = dynamic_cast<lv::dialogs::LibraryDialog*>(QApplication::activeModalWidget());
            QVERIFY(d && d->enableBox()->isChecked());
            d->enableBox()->click();
            d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        f.window->execute(kCmdOptionsLibrary);
        QVERIFY(!f.state.sources.library());
        f.window->execute(kCmdRunCompile);
        QVERIFY(f.ui.lastText().startsWith("Program contains errors:"));
    }
};

QTEST_MAIN(ExportCommandsTest)
#include "export_commands_test.moc"
