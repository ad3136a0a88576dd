// The model from the main window: objects added and edited through the Model menu's dialogs,
// saved to a model file, opened in a fresh main window, a failed load, and the exit question.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "app/model_commands.h"
#include "dialogs/add_object_dialog.h"
#include "dialogs/object_properties_dialog.h"
#include "tests/gui/gui_test_util.h"

using lv::app::kCmdModelAddObject;
using lv::app::kCmdModelObjects;
using lv::app::kCmdModelXAssign;
using lv::test::GuiFixture;
using lv::ui::MsgResult;

namespace {

const QByteArray kShapes = "ball(x[3], a[1]) { ball = a[1]^2 - x[1]^2 - x[2]^2 - x[3]^2; }\n"
                           "quad(x[4], a[2]) { quad = x[1] + x[4] + a[1] - a[2]; }\n";

QMenu* modelMenu(lv::app::MainWindow& w) {
    for (QAction* top : w.menuBar()->actions())
        if (top->text() == "&Model") return top->menu();
    return nullptr;
}

QAction* modelMenuItem(lv::app::MainWindow& w, const QString& text) {
    for (QAction* a : modelMenu(w)->actions())
        if (a->text() == text) return a;
    return nullptr;
}

// Runs command id, answering its modal dialog with answer once it is up.
template <typename Dialog, typename Answer>
void runDialog(GuiFixture& f, int id, Answer answer) {
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        answer(*dialog);
        answered = true;
    });
    f.window->execute(id);
    QVERIFY(answered);
}

} // namespace

class ModelFilesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { lv::test::useTestSettings("model_files_tests"); }

    void modelSavedFromTheWindowOpensInAFreshOne() {
        GuiFixture f;
        const QString source = f.write("shapes.lv", kShapes);
        QMenu* menu = modelMenu(*f.window);
        const QList<QAction*> items = menu->actions();
        QVERIFY(items.at(items.size() - 4)->isSeparator());
        QCOMPARE(items.at(items.size() - 3)->text(), QString("Op&en Model..."));
        QCOMPARE(items.at(items.size() - 2)->text(), QString("&Save Model..."));
        QCOMPARE(items.back()->text(), QString("Save Mo&del As..."));

        f.ui.fileNames.push_back(source);
        runDialog<lv::dialogs::AddObjectDialog>(f, kCmdModelAddObject, [](auto& d) {
            d.browseButton()->click();
            d.functionList()->setCurrentIndex(1);
            emit d.functionList()->activated(1);
            d.okButton()->click();
        });
        QCOMPARE(f.state.model.count(), 1);
        emit menu->aboutToShow();
        QCOMPARE(menu->actions().first()->text(), QString("&Objects"));
        QVERIFY(f.window->windowTitle().contains("untitled model*"));

        runDialog<lv::dialogs::ObjectPropertiesDialog>(f, kCmdModelXAssign, [](auto& d) {
            d.parameterList()->setCurrentItem(d.parameterList()->topLevelItem(3));
            d.choice(lv::model::ZAxis)->click(); // x[4] takes Z from x[3]
            d.okButton()->click();
        });
        QCOMPARE(f.state.model.object(0).xBindings.zIndex, 3);

        const QString saved = f.dir.filePath("scene.lvm");
        f.ui.fileNames.push_back(saved);
        modelMenuItem(*f.window, "Save Mo&del As...")->trigger();
        QVERIFY(QFileInfo::exists(saved));
        QVERIFY(f.window->windowTitle().contains("scene.lvm"));
        QVERIFY(!f.window->windowTitle().contains("*"));

        // As `lumovar scene.lvm` does at start.
        GuiFixture g;
        QVERIFY(!g.window->openFile(saved));
        QCOMPARE(g.ui.shown.size(), std::size_t(0));
        QCOMPARE(g.state.model.count(), 1);
        const lv::model::ModelObject& quad = g.state.model.object(0);
        QCOMPARE(quad.name, std::string("quad"));
        QCOMPARE(quad.sourcePath, source.toStdString());
        QCOMPARE(quad.xBindings.bindings[2].kind, int(lv::model::Constant));
        QCOMPARE(quad.xBindings.bindings[3].kind, int(lv::model::ZAxis));
        QCOMPARE(quad.xBindings.zIndex, 3);
        QCOMPARE(g.window->windowTitle(), QString("Lumovar for Windows - scene.lvm"));
        QCOMPARE(g.window->recentFiles().first(), saved);

        // A file that cannot be loaded says why and keeps the model that is open.
        const QString broken = g.write("broken.lvm", "{\"format\": \"lumovar-model\", ");
        const lv::model::ModelObject* before = &g.state.model.object(0);
        g.ui.fileNames.push_back(broken);
        modelMenuItem(*g.window, "Op&en Model...")->trigger();
        QCOMPARE(g.ui.shown.size(), std::size_t(1));
        QVERIFY(g.ui.lastText().contains("broken.lvm"));
        QCOMPARE(g.state.model.count(), 1);
        QCOMPARE(&g.state.model.object(0), before);
        QCOMPARE(g.window->windowTitle(), QString("Lumovar for Windows - scene.lvm"));
    }

    void exitAsksForAModifiedModelAfterTheDocuments() {
        GuiFixture f;
        f.ui.fileNames.push_back(f.write("shapes.lv", kShapes));
        runDialog<lv::dialogs::AddObjectDialog>(f, kCmdModelAddObject, [](auto& d) {
            d.browseButton()->click();
            d.okButton()->click();
        });
        f.window->show();
        f.ui.answers.push_back(MsgResult::Cancel);
        QVERIFY(!f.window->close());
        QCOMPARE(f.ui.shown.back().buttons, lv::ui::MsgButtons::YesNoCancel);
        QVERIFY(f.ui.lastText().contains("model"));
        f.ui.answers.push_back(MsgResult::No);
        QVERIFY(f.window->close());
    }

    void objectListWindowKeepsTheObjectsItem() {
        GuiFixture f;
        f.window->execute(kCmdModelObjects);
        lv::app::ModelCommands& commands = f.window->modelCommands();
        QVERIFY(commands.objectListOpen());
        QMenu* menu = modelMenu(*f.window);
        emit menu->aboutToShow();
        QCOMPARE(menu->actions().first()->data().toInt(), int(kCmdModelObjects));
        commands.objectList()->close();
        emit menu->aboutToShow();
        QCOMPARE(menu->actions().first()->data().toInt(), int(kCmdModelAddObject));
    }
};

QTEST_MAIN(ModelFilesTest)
#include "model_files_test.moc"
