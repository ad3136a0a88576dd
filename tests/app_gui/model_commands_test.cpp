// Model files from the desktop side: save, open into a fresh application, failed loads, the
// question at exit, and the object list window's lifetime.
#include "app/model_commands.h"

#include <QSignalSpy>
#include <QtTest>

#include "dialogs/object_properties_rules.h"
#include "lang/settings.h"
#include "render/time_curve.h"
#include "tests/dialogs/object_fixture.h"

using lv::app::ModelCommands;
using lv::ui::MsgResult;
namespace model = lv::model;

namespace {

// One application's worth of model state with its commands on a plain window.
struct App {
    model::Model model;
    lv::app::SourceCache sources;
    lv::render::TimeCurve curve;
    bool idle = true;
    lv::ui::FakeUiServices ui;
    QWidget window;
    ModelCommands commands{{model, sources, curve, [this] { return idle; }}, ui, &window};
};

std::vector<int> kinds(const model::ParameterList& list) {
    std::vector<int> out;
    for (const auto& b : list.bindings) out.push_back(b.kind);
    return out;
}

} // namespace

class ModelCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        lv::lang::setEps(lv::lang::kDefaultEps);
        lv::lang::setAlpha(lv::lang::kDefaultAlpha);
    }

    void savedModelOpensWithTheSameObjectsAndBindings() {
        lv::test::ObjectFixture files;
        const std::string source = files.write("shapes.lv", lv::test::kObjectsText);
        const QString modelPath = QString::fromStdString(files.scratch.file("scene"));

        App first;
        QVERIFY(first.commands.events().addObject(first.sources, "q", "quad", source));
        QVERIFY(first.commands.events().addObject(first.sources, "b", "ball", source));
        {
            // Edit through the properties rules as the dialog does, then store with OK's call.
            lv::dialogs::ObjectPropertiesRules rules(first.model, lv::dialogs::XAssignTab, "q");
            rules.selectRow(3);
            rules.chooseKind(model::YAxis); // x[4] takes Y from x[2]
            rules.selectRow(1);
            rules.chooseKind(model::T2);
            rules.showTab(lv::dialogs::AParamsTab);
            QVERIFY(!rules.typeConstant("1.5"));
            rules.showTab(lv::dialogs::TransformTab);
            rules.selectRow(5);
            QVERIFY(!rules.typeTransformValue("30"));
            first.commands.events().replaceObjects(rules.copies(), rules.selectedCopy());
        }
        first.curve.appendRow(0.5, 1.0, 2.0);
        QVERIFY(lv::lang::setEps(0.001f));
        QVERIFY(first.commands.events().isModified());
        QCOMPARE(first.commands.modelTitle(), QString("untitled model*"));

        first.ui.fileNames.push_back(modelPath);
        QVERIFY(first.commands.saveModel()); // no path yet: asks for one
        QCOMPARE(first.commands.modelPath(), modelPath + ".lvm");
        QVERIFY(!first.commands.events().isModified());
        QCOMPARE(first.commands.modelTitle(), QString("scene.lvm"));
        QVERIFY(first.commands.confirmClose()); // unmodified: no question
        QVERIFY(first.ui.shown.empty());

        lv::lang::setEps(lv::lang::kDefaultEps);
        App second;
        QSignalSpy changed(&second.commands, &ModelCommands::commandsChanged);
        QVERIFY(second.commands.openModel(modelPath + ".lvm"));
        QVERIFY(changed.count() > 0);
        QCOMPARE(second.model.count(), 2);
        const model::ModelObject& q = second.model.object(0);
        QCOMPARE(q.name, std::string("q"));
        QCOMPARE(q.sourcePath, source);
        QCOMPARE(q.compiled->name, std::string("quad"));
        QCOMPARE(kinds(q.xBindings), (std::vector<int>{model::XAxis, model::T2, model::ZAxis,
                                                       model::YAxis}));
        QCOMPARE(q.xBindings.yIndex, 3);
        QCOMPARE(q.aBindings.bindings[0].value, 1.5f);
        QCOMPARE(q.transform.rotate[2], 30.0f);
        QCOMPARE(second.model.object(1).name, std::string("b"));
        QCOMPARE(second.curve.count(), 1);
        QCOMPARE(second.curve.rowAt(1)->t3, 2.0);
        QCOMPARE(lv::lang::eps(), 0.001f);
        QVERIFY(!second.commands.events().isModified());
        QCOMPARE(second.commands.modelTitle(), QString("scene.lvm"));
    }

    void failedLoadKeepsTheCurrentModel() {
        lv::test::ObjectFixture files;
        const std::string source = files.write("shapes.lv", lv::test::kObjectsText);
        const std::string broken = files.write("broken.lvm", "{ \"format\": ");
        App app;
        QVERIFY(app.commands.events().addObject(app.sources, "b", "ball", source));
        app.curve.appendRow(1, 2, 3);
        const model::ModelObject* before = &app.model.object(0);

        QVERIFY(!app.commands.openModel(QString::fromStdString(broken)));
        QCOMPARE(app.ui.shown.size(), std::size_t(1));
        QCOMPARE(app.ui.shown[0].icon, lv::ui::MsgIcon::Error);
        QVERIFY(app.ui.lastText().contains("broken.lvm"));
        QCOMPARE(app.model.count(), 1);
        QCOMPARE(&app.model.object(0), before);
        QCOMPARE(app.curve.count(), 1);
        QVERIFY(app.commands.modelPath().isEmpty());
        QVERIFY(app.commands.events().isModified());

        QVERIFY(!app.commands.openModel(QString::fromStdString(files.scratch.file("none.lvm"))));
        QCOMPARE(app.ui.shown.size(), std::size_t(2));
        QCOMPARE(&app.model.object(0), before);

        // A model file is not opened under a running render (its frames use the time curve).
        app.ui.fileNames.push_back(QString::fromStdString(files.scratch.file("ok.lvm")));
        QVERIFY(app.commands.saveModelAs());
        app.idle = false;
        QVERIFY(!app.commands.openModel(QString::fromStdString(files.scratch.file("ok.lvm"))));
        QCOMPARE(app.ui.lastText(),
                 QString("This function is disallowed when the rendering proccess active"));
        QCOMPARE(&app.model.object(0), before);
    }

    void exitAsksToSaveAModifiedModel() {
        lv::test::ObjectFixture files;
        const std::string source = files.write("shapes.lv", lv::test::kObjectsText);
        App app;
        QVERIFY(app.commands.confirmClose()); // nothing changed yet
        app.commands.events().addObject(app.sources, "b", "ball", source);

        app.ui.answers.push_back(MsgResult::Cancel);
        QVERIFY(!app.commands.confirmClose());
        QCOMPARE(app.ui.shown.back().buttons, lv::ui::MsgButtons::YesNoCancel);
        QCOMPARE(app.ui.shown.back().icon, lv::ui::MsgIcon::Question);
        app.ui.answers.push_back(MsgResult::No);
        QVERIFY(app.commands.confirmClose());
        app.ui.answers.push_back(MsgResult::Yes); // then the file chooser is cancelled
        QVERIFY(!app.commands.confirmClose());
        app.ui.answers.push_back(MsgResult::Yes);
        app.ui.fileNames.push_back(QString::fromStdString(files.scratch.file("m.lvm")));
        QVERIFY(app.commands.confirmClose());
        QVERIFY(QFileInfo::exists(QString::fromStdString(files.scratch.file("m.lvm"))));
        QVERIFY(!app.commands.events().isModified());

        // A save that fails says why and is not taken for a save.
        app.commands.events().removeAll();
        app.ui.answers.push_back(MsgResult::Yes);
        app.ui.fileNames.push_back(QString::fromStdString(files.scratch.file("no/dir/m.lvm")));
        QVERIFY(!app.commands.saveModelAs());
        QCOMPARE(app.ui.shown.back().icon, lv::ui::MsgIcon::Error);
        QVERIFY(app.commands.events().isModified());
    }

    void objectListWindowIsOneAndTellsWhenItCloses() {
        App app;
        QSignalSpy changed(&app.commands, &ModelCommands::commandsChanged);
        QVERIFY(!app.commands.objectListOpen());
        app.commands.showObjects();
        QVERIFY(app.commands.objectListOpen());
        auto* first = app.commands.objectList();
        app.commands.showObjects();
        QCOMPARE(app.commands.objectList(), first);
        QVERIFY(first->isVisible());
        first->close();
        QVERIFY(!app.commands.objectListOpen());
        QVERIFY(changed.count() >= 2);
        app.commands.showObjects();
        QVERIFY(app.commands.objectList() != nullptr);
    }
};

QTEST_MAIN(ModelCommandsTest)
#include "model_commands_test.moc"
