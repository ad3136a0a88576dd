// The main window: menus built from the command table, enabling per state, the Model menu's
// first item, guards through the handlers, exit while rendering, and the reference window.
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QSet>
#include <QtTest>

#include "app/application.h"
#include "app/command_table.h"
#include "app/editor_dialogs.h"
#include "app/reference_window.h"
#include "app/source_document.h"
#include "lang/builtins.h"
#pragma push_macro("slots")
#undef slots
#include "model/grid_sampler.h"
#pragma pop_macro("slots")
#include "tests/gui/gui_test_util.h"

using namespace lv::app;
using lv::test::GuiFixture;

namespace {

const QByteArray kBall = "ball(x[3], a[1]) {\n  ball = 1 - x[1]*x[1] - x[2]*x[2] - x[3]*x[3];\n}\n";

// Every item of the visible menus in menu order (submenus in place, separators, the Window
// menu's list of documents and the model file items beyond the table left out), with the path
// of menus it is in.
void collect(QMenu* menu, const QString& path, QList<QPair<QString, QAction*>>& out) {
    for (QAction* a : menu->actions()) {
        if (a->isSeparator() || a->property("windowEntry").toBool() ||
            a->property("modelFileEntry").toBool())
            continue;
        if (a->menu()) {
            collect(a->menu(), path + "|" + a->text(), out);
        } else if (a->isVisible() || a->data().toInt() == kCmdFileRecent1 + 1 ||
                   a->data().toInt() == kCmdFileRecent1 + 2 ||
                   a->data().toInt() == kCmdFileRecent1 + 3) {
            out.append({path, a}); // the recent entries keep their places while empty
        }
    }
}

QList<QPair<QString, QAction*>> menuItemsOf(MainWindow& w) {
    QList<QPair<QString, QAction*>> items;
    for (QAction* top : w.menuBar()->actions())
        if (top->isVisible() && top->menu()) {
            emit top->menu()->aboutToShow();
            collect(top->menu(), top->text(), items);
        }
    return items;
}

// The action's text with its first shortcut, as a menu stores it (extra keys not shown).
QString stored(QAction* a, const CommandRow& row) {
    QList<QKeySequence> keys = a->shortcuts();
    if (!*row.shortcut) return keys.size() > (*extraShortcut(row.id) ? 1 : 0) ? "?" : a->text();
    return keys.isEmpty() ? a->text() : a->text() + "\t" + keys.first().toString();
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { lv::test::useTestSettings("main_window_tests"); }
    void init() { QSettings().clear(); }

    void everyMenuItemMatchesTheTableInBothMenuSets() {
        GuiFixture f;
        for (MenuSet set : {MenuSet::NoDocument, MenuSet::Document}) {
            if (set == MenuSet::Document) f.window->newDocument();
            QCOMPARE(f.window->menuSet(), set);
            QList<QPair<QString, QAction*>> items = menuItemsOf(*f.window);
            std::vector<const CommandRow*> rows = menuItems(set);
            QCOMPARE(items.size(), qsizetype(rows.size()));
            for (std::size_t i = 0; i < rows.size(); ++i) {
                const auto& [path, action] = items[qsizetype(i)];
                QCOMPARE(action->data().toInt(), rows[i]->id);
                QCOMPARE(path, QString(rows[i]->menuPath));
                QCOMPARE(stored(action, *rows[i]), QString::fromStdString(storedText(*rows[i])));
            }
        }
        // F7 compiles too; the stored text keeps no shortcut.
        QAction* compile = f.window->action(kCmdRunCompile);
        QCOMPARE(compile->text(), QString("&Compile"));
        QVERIFY(compile->shortcuts().contains(QKeySequence(Qt::Key_F7)));
    }

    void toolbarHasTheTenEntries() {
        GuiFixture f;
        QList<QAction*> bar = f.window->toolBar()->actions();
        QCOMPARE(bar.size(), 10);
        std::span<const int> ids = toolbarCommands();
        for (int i = 0; i < 10; ++i) {
            if (ids[std::size_t(i)] == 0)
                QVERIFY(bar[i]->isSeparator());
            else
                QCOMPARE(bar[i], f.window->action(ids[std::size_t(i)]));
            // Every button is a picture, with or without an icon theme on the desktop.
            if (!bar[i]->isSeparator())
                QVERIFY2(!bar[i]->icon().isNull(), qPrintable(bar[i]->text()));
        }
    }

    void actionsFollowTheRulesInEveryState() {
        GuiFixture f;
        auto check = [&](const char* label) {
            f.window->refreshCommands();
            CommandState s = f.window->commandState();
            for (const CommandRow& row : commandTable()) {
                bool want = row.enabling(s).enabled && MainWindow::hasHandler(row.id);
                if (row.id >= kCmdFileRecent1 && row.id < kCmdFileRecent1 + kRecentFileCount)
                    continue; // placeholders: checked with the recent list
                QVERIFY2(f.window->action(row.id)->isEnabled() == want,
                         qPrintable(QString("%1: %2").arg(label).arg(row.text)));
            }
        };
        check("no document");
        QVERIFY(!f.window->action(kCmdRunCompile)->isEnabled());
        f.window->newDocument();
        check("document");
        QVERIFY(f.window->action(kCmdRunCompile)->isEnabled());
        QVERIFY(f.addObject(kBall, "ball"));
        check("objects");
        QCOMPARE(f.window->commandState().modelObjects, 1);
        f.blockWorker();
        check("worker busy");
        QVERIFY(f.window->action(kCmdAppExit)->isEnabled());
        f.unblockWorker();
        // Items without a command stay disabled whatever the state.
        for (int id : {kCmdPolyLights, kCmdRayLights, kCmdOptionsColors, kCmdOptionsDefaults,
                       kCmdHelpContents})
            QVERIFY(!f.window->action(id)->isEnabled());
        // Compile is disabled again once every document window is closed.
        for (auto* doc : f.window->documents()) f.window->closeDocument(doc);
        QVERIFY(!f.window->action(kCmdRunCompile)->isEnabled());
        QCOMPARE(f.window->menuSet(), MenuSet::NoDocument);
    }

    void modelMenuFirstItemSwitches() {
        GuiFixture f;
        QMenu* model = nullptr;
        for (QAction* top : f.window->menuBar()->actions())
            if (top->text() == "&Model") model = top->menu();
        QVERIFY(model);
        auto first = [&] {
            emit model->aboutToShow();
            return model->actions().first();
        };
        QCOMPARE(first()->text(), QString("&Add Object"));
        QCOMPARE(first()->data().toInt(), 32769);
        QVERIFY(f.addObject(kBall, "ball"));
        QCOMPARE(first()->text(), QString("&Objects"));
        QCOMPARE(first()->data().toInt(), 101);
        // The last object removed while the object list is open: still "&Objects".
        f.state.objectListOpen = true;
        f.state.model.removeAll();
        QCOMPARE(first()->data().toInt(), 101);
        f.state.objectListOpen = false;
        QCOMPARE(first()->data().toInt(), 32769);
        // One first item at a time.
        int forms = 0;
        for (QAction* a : model->actions())
            forms += a->data().toInt() == 101 || a->data().toInt() == 32769;
        QCOMPARE(forms, 1);
    }

    void guardsRefuseInOrderThroughTheHandlers() {
        GuiFixture f;
        auto last = [&] { return f.ui.lastText(); };
        f.window->execute(kCmdRunRenderAnimation);
        QCOMPARE(last(), QString("Model must contain at least one object to render"));
        QCOMPARE(f.ui.shown.back().icon, lv::ui::MsgIcon::None);
        f.window->execute(kCmdRunRenderFrame);
        QCOMPARE(last(), QString("Model must contain at least one object to render"));

        lv::model::ModelObject* ball = f.addObject(kBall, "ball");
        QVERIFY(ball);
        f.state.timeCurve.appendRow(0, 0, 0);
        f.window->execute(kCmdRunRenderAnimation);
        QCOMPARE(last(), QString("Some objects in model must have some time dependent "
                                 "parameters"));
        f.window->execute(kCmdModelTimeVars);
        QCOMPARE(last(), QString(kMsgDefineTimeVariable));
        QCOMPARE(f.ui.shown.back().icon, lv::ui::MsgIcon::Information);
        std::size_t boxes = f.ui.shown.size();
        f.window->execute(kCmdModelTimeCurve);
        QCOMPARE(f.ui.shown.size(), boxes + 1);

        QVERIFY(lv::model::setKind(ball->aBindings, 0, lv::model::T2));
        f.state.timeCurve.clear();
        f.window->execute(kCmdRunRenderAnimation);
        QCOMPARE(last(), QString("Animation Time Curve must be defined"));
        f.window->execute(kCmdRenderAnimation);
        QCOMPARE(last(), QString("Lumovar expects you to  define Time Curve, at first"));
        QCOMPARE(f.ui.shown.back().icon, lv::ui::MsgIcon::Information);
        f.window->execute(kCmdRunCompileFilm);
        QCOMPARE(last(), QString("There are no ready animation frames.\nOperation canceled."));

        f.blockWorker();
        for (int id : {kCmdRunRenderFrame, kCmdRunRenderAnimation}) {
            f.window->execute(id);
            QCOMPARE(last(), QString("This function is disallowed when the rendering proccess "
                                     "active"));
        }
        for (int id : {kCmdRunExport, kCmdRunCompileFilm}) {
            f.window->execute(id);
            QCOMPARE(last(), QString("The exporting function is disallowed when the rendering "
                                     "proccess active"));
            QCOMPARE(f.ui.shown.back().icon, lv::ui::MsgIcon::Warning);
        }
        f.unblockWorker();
    }

    void exitIsRefusedWhileRendering() {
        GuiFixture f;
        f.window->show();
        auto* doc = f.window->newDocument();
        doc->insertPlainText("edited");
        f.blockWorker();
        QVERIFY(!f.window->close());
        QCOMPARE(f.ui.lastText(),
                 QString("The exit function is disallowed when the rendering proccess active"));
        QCOMPARE(f.ui.shown.back().icon, lv::ui::MsgIcon::None);
        QVERIFY(f.window->isVisible());
        QCOMPARE(f.window->documents().size(), 1);
        f.unblockWorker();
        // Idle: the modified document is offered for saving; Cancel keeps everything open.
        f.ui.answers.push_back(lv::ui::MsgResult::Cancel);
        QVERIFY(!f.window->close());
        QCOMPARE(f.ui.shown.back().buttons, lv::ui::MsgButtons::YesNoCancel);
        QVERIFY(f.window->isVisible());
        f.ui.answers.push_back(lv::ui::MsgResult::No);
        QVERIFY(f.window->close());
    }

    void referenceWindowListsTheBuiltinsSorted() {
        QStringList entries = builtinReferenceEntries();
        QCOMPARE(entries.size(), 66);
        for (int i = 1; i < entries.size(); ++i)
            QVERIFY2(QString::compare(entries[i - 1], entries[i], Qt::CaseInsensitive) <= 0,
                     qPrintable(entries[i]));
        for (int row = 0; row < lv::lang::kBuiltinCount; ++row)
            QVERIFY(entries.contains(QString::fromStdString(lv::lang::builtinSignature(row))));
        QVERIFY(entries.contains("lvsphere(A, A, R)"));

        GuiFixture f;
        ReferenceWindow* ref = f.window->referenceWindow();
        QVERIFY(!ref->isVisible());
        QCOMPARE(ref->windowTitle(), QString("Built-in Lumovar functions reference"));
        QCOMPARE(ref->list()->count(), 66);
        QCOMPARE(ref->list()->item(0)->text(), entries.first());
        QCOMPARE(ref->list()->item(65)->text(), entries.last());
        QVERIFY(!ref->findChildren<QLabel*>().isEmpty());
        QStringList labels;
        for (QLabel* l : ref->findChildren<QLabel*>()) labels << l->text();
        QVERIFY(labels.contains("R - real value; A - array; S - string."));
        QVERIFY(labels.contains("See documentation for details."));

        f.window->show();
        f.window->execute(kCmdViewBuiltins);
        QVERIFY(ref->isVisible());
        QVERIFY(f.window->action(kCmdViewBuiltins)->isChecked());
        ref->close(); // the close box only hides it
        QVERIFY(!ref->isVisible());
        QVERIFY(!f.window->action(kCmdViewBuiltins)->isChecked());
        f.window->execute(kCmdViewBuiltins);
        QVERIFY(ref->isVisible());
        f.window->execute(kCmdViewBuiltins);
        QVERIFY(!ref->isVisible());
    }

    void viewToggles() {
        GuiFixture f;
        f.window->show();
        QVERIFY(f.window->action(kCmdViewToolbar)->isChecked());
        f.window->execute(kCmdViewToolbar);
        QVERIFY(!f.window->toolBar()->isVisible());
        QVERIFY(!f.window->action(kCmdViewToolbar)->isChecked());
        f.window->execute(kCmdViewStatusBar);
        QVERIFY(!f.window->action(kCmdViewStatusBar)->isChecked());
    }

    void prunedSamplingSwitchReachesTheSamplersAndIsRemembered() {
        {
            GuiFixture f;
            QAction* item = f.window->action(kCmdOptionsPrune);
            QVERIFY(item && item->isCheckable() && item->isEnabled());
            QVERIFY(item->isChecked());
            QVERIFY(lv::model::samplingPrunes());
            f.window->execute(kCmdOptionsPrune);
            QVERIFY(!item->isChecked());
            QVERIFY(!lv::model::samplingPrunes());
            QCOMPARE(QSettings().value(lv::app::kPruneKey).toBool(), false);
        }
        lv::model::setSamplingPrunes(true);
        {
            GuiFixture f; // the next start reads it back
            QVERIFY(!lv::model::samplingPrunes());
            QVERIFY(!f.window->action(kCmdOptionsPrune)->isChecked());
            f.window->execute(kCmdOptionsPrune);
            QVERIFY(lv::model::samplingPrunes());
            QCOMPARE(QSettings().value(lv::app::kPruneKey).toBool(), true);
        }
    }

    void startUpOpensEachFileAndGoesOnPastAMissingOne() {
        QTemporaryDir dir;
        auto fake = std::make_unique<lv::ui::FakeUiServices>();
        lv::ui::FakeUiServices* ui = fake.get();
        {
            Application app(std::move(fake), dir.path());
            QVERIFY(app.state().film.isHeld());
            QVERIFY(app.state().film.path().starts_with(dir.path().toStdString()));
            QVERIFY(!app.mainWindow().referenceWindow()->isVisible());
            QString a = dir.filePath("a.lv");
            QFile file(a);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(kBall);
            file.close();
            app.openStartupFiles({dir.filePath("missing.lv"), a});
            QCOMPARE(ui->shown.size(), std::size_t(1));
            QVERIFY(ui->lastText().contains("missing.lv"));
            QCOMPARE(app.mainWindow().documents().size(), 1);
            QCOMPARE(app.mainWindow().currentDocument()->title(), QString("a.lv"));
        }
        Application empty(std::make_unique<lv::ui::FakeUiServices>(), dir.path());
        empty.openStartupFiles({});
        QCOMPARE(empty.mainWindow().documents().size(), 1);
        QCOMPARE(empty.mainWindow().currentDocument()->title(), QString("Untitled1"));
    }

    void filmFallsBackToTheCacheFolder() {
        QTemporaryDir dir;
        QCOMPARE(filmFolder(dir.path().toStdString(), "/unused"), dir.path().toStdString());
        std::string cache = dir.filePath("cache").toStdString();
        QCOMPARE(filmFolder(dir.filePath("gone").toStdString(), cache), cache + "/lumovar");
        QVERIFY(QFileInfo(QString::fromStdString(cache + "/lumovar")).isDir());
    }

    void commandLineChoosesTheDesktopForSourceAndModelFiles() {
        auto gui = [](std::vector<const char*> args) {
            args.insert(args.begin(), "lumovar");
            return isGuiCommandLine(int(args.size()), const_cast<char**>(args.data()));
        };
        QVERIFY(gui({}));
        QVERIFY(gui({"a.lv", "dir/B.LV", "m.lvm"}));
        QVERIFY(!gui({"check", "a.lv"}));
        QVERIFY(!gui({"a.lv", "--help"}));
        QVERIFY(!gui({"frobnicate"}));
        QVERIFY(!gui({"notes.txt"}));
    }

    void geometryAndKeyboard() {
        QRect placed;
        {
            GuiFixture f;
            f.window->setGeometry(40, 50, 777, 555);
            f.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
            placed = f.window->geometry();
            QVERIFY(f.window->close());
        }
        GuiFixture f;
        QCOMPARE(f.window->size(), placed.size());

        // F7 compiles; the status bar shows where the cursor is.
        f.window->show();
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        auto* doc = f.window->openFile(f.write("k.lv", kBall));
        QVERIFY(doc);
        doc->setFocus();
        QTest::keyClick(doc, Qt::Key_F7);
        QCOMPARE(f.ui.lastText(), QString("Compilation successfull"));
        doc->goTo(2, 5);
        QLabel* pane = nullptr;
        for (QLabel* l : f.window->statusBar()->findChildren<QLabel*>())
            if (l->accessibleName() == "Cursor position") pane = l;
        QVERIFY(pane);
        QCOMPARE(pane->text(), QString("Ln 2, Col 5"));
    }

    // Alt and a menu's underlined letter opens that menu and no other; the Model menu's own
    // items (the object commands and the model file commands) have letters of their own too.
    void everyMenuOpensWithItsOwnLetter() {
        GuiFixture f;
        f.window->show();
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QVERIFY(f.window->openFile(f.write("m.lv", kBall)));
        QSet<QChar> letters;
        for (QAction* top : f.window->menuBar()->actions()) {
            if (!top->isVisible() || !top->menu()) continue;
            const QString text = top->text();
            const qsizetype amp = text.indexOf('&');
            QVERIFY2(amp >= 0 && amp + 1 < text.size(), qPrintable(text));
            const QChar letter = text.at(amp + 1).toUpper();
            QVERIFY2(!letters.contains(letter), qPrintable(text));
            letters.insert(letter);
            QTest::keyClick(f.window.get(), Qt::Key(letter.unicode()), Qt::AltModifier);
            QTRY_VERIFY2(QApplication::activePopupWidget() == top->menu(), qPrintable(text));
            top->menu()->close();
            QTRY_VERIFY(!QApplication::activePopupWidget());
        }
        QMenu* model = nullptr;
        for (QAction* top : f.window->menuBar()->actions())
            if (top->text() == "&Model") model = top->menu();
        QVERIFY(model);
        QSet<QChar> modelLetters;
        for (QAction* item : model->actions()) {
            if (item->isSeparator() || !item->isVisible()) continue;
            const qsizetype amp = item->text().indexOf('&');
            QVERIFY2(amp >= 0, qPrintable(item->text()));
            const QChar letter = item->text().at(amp + 1).toUpper();
            QVERIFY2(!modelLetters.contains(letter), qPrintable(item->text()));
            modelLetters.insert(letter);
        }
    }

    void controlsCarryTheirLabelsAsAccessibleNames() {
        GuiFixture f;
        f.window->show();
        for (QToolButton* b : f.window->toolBar()->findChildren<QToolButton*>()) {
            if (!b->defaultAction() || b->defaultAction()->isSeparator()) continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
            QVERIFY(a);
            QVERIFY2(!a->text(QAccessible::Name).isEmpty(), qPrintable(b->text()));
        }
        ReferenceWindow* ref = f.window->referenceWindow();
        QCOMPARE(ref->list()->accessibleName(), QString("List of available functions:"));
        auto* close = ref->findChild<QPushButton*>();
        QVERIFY(close);
        QCOMPARE(close->accessibleName(), QString("Close"));
        TabWidthDialog tabs(4, [](const QString&) {});
        QCOMPARE(tabs.field()->accessibleName(), QString("Enter the tab stop width:"));
    }

    void renderFrameShowsTheFrameAndStopEndsARender() {
        GuiFixture f;
        f.window->show();
        lv::model::ModelObject* ball = f.addObject(kBall, "ball");
        QVERIFY(ball);
        lv::render::RenderJob& job = *f.state.frameJob;
        QVERIFY(!f.window->action(kCmdViewFrame)->isEnabled());
        f.window->execute(kCmdRunRenderFrame);
        QVERIFY(f.window->action(kCmdRunStopRendering)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(f.state.worker.isIdle() && job.isRendered(), 20000);
        QTRY_VERIFY(!f.window->action(kCmdRunStopRendering)->isEnabled());
        QTRY_COMPARE(f.window->statusBar()->currentMessage(), QString("Polygonized Model"));
        QVERIFY(f.window->action(kCmdViewFrame)->isEnabled());
        QVERIFY(f.window->action(kCmdViewFrame)->isChecked());
        QVERIFY(f.window->action(kCmdViewResetView)->isEnabled());
        f.window->execute(kCmdViewFrame);
        QVERIFY(!job.isVisible());
        QVERIFY(!f.window->action(kCmdViewFrame)->isChecked());
        f.window->execute(kCmdViewFrame);
        QVERIFY(job.isVisible());

        // A large grid, stopped with Escape: the job is not rendered and View > Frame is off.
        ball->grid = {150, 150, 900};
        f.window->execute(kCmdRunRenderFrame);
        QTRY_VERIFY_WITH_TIMEOUT(
            f.window->statusBar()->currentMessage().startsWith("Rendering ") &&
                f.window->statusBar()->currentMessage() != "Rendering 0%",
            20000);
        QCOMPARE(f.window->action(kCmdRunStopRendering)->shortcut(), QKeySequence("Esc"));
        f.window->action(kCmdRunStopRendering)->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(f.state.worker.isIdle(), 5000);
        QTRY_COMPARE(f.window->statusBar()->currentMessage(), QString("Rendering stopped"));
        QCOMPARE(job.state(), lv::render::JobState::NotRendered);
        QVERIFY(!f.window->action(kCmdViewFrame)->isEnabled());
        QVERIFY(!f.window->action(kCmdRunStopRendering)->isEnabled());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
