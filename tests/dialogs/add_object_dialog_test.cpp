// The "Add Object" dialog: its rules driven directly, then the widgets driven as a user would.
#include "dialogs/add_object_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "tests/dialogs/object_fixture.h"

using lv::dialogs::AddObjectDialog;
using lv::dialogs::AddObjectRules;
using lv::dialogs::NoticeIcon;
using lv::ui::MsgIcon;

namespace {

QStringList items(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
}

std::vector<std::string> names(const std::string& dir, std::vector<std::string> files) {
    for (std::string& f : files) f = dir + "/" + f;
    return files;
}

} // namespace

class AddObjectDialogTest : public QObject {
    Q_OBJECT
private slots:
    void listsCurrentErrorFreeFilesSortedIgnoringCase() {
        lv::test::ObjectFixture f;
        f.compiled("b.lv", lv::test::kObjectsText);
        f.compiled("A.lv", lv::test::kObjectsText);
        f.compiled("c.LV", lv::test::kObjectsText);
        f.compiled("bad.lv", lv::test::kBadText);
        f.compiled("stale.lv", lv::test::kObjectsText);
        f.write("stale.lv", lv::test::kObjectsText); // changed after it was compiled
        const std::string dir = f.scratch.path().string();

        AddObjectRules rules(f.cache, f.model);
        rules.open();
        QVERIFY(rules.showPath());
        QCOMPARE(rules.fileItems(), names(dir, {"A.lv", "b.lv", "c.LV"}));
        QCOMPARE(rules.selectedFile(), -1);
        QVERIFY(!rules.functionsEnabled());
        QVERIFY(rules.functionItems().empty());
        QVERIFY(!rules.nameEnabled());
        QVERIFY(!rules.okEnabled());

        rules.selectFile(1);
        rules.setShowPath(false); // the selection follows the file, not the row
        QCOMPARE(rules.fileItems(), (std::vector<std::string>{"A.lv", "b.lv", "c.LV"}));
        QCOMPARE(rules.selectedPath(), dir + "/b.lv");
        QCOMPARE(rules.functionItems(),
                 (std::vector<std::string>{"ball", "quad", "flat", "plain"})); // file order
        QVERIFY(rules.functionsEnabled());
        QCOMPARE(rules.selectedFunction(), 0);
        QCOMPARE(rules.nameText(), std::string("ball"));
        QVERIFY(rules.okEnabled());
        rules.selectFunction(2);
        QCOMPARE(rules.nameText(), std::string("flat"));
        rules.editName("");
        QVERIFY(!rules.okEnabled());
        rules.editName("x");
        QVERIFY(rules.okEnabled());
    }

    void fileWithoutFunctionsShowsOneDisabledItem() {
        lv::test::ObjectFixture f;
        f.compiled("empty.lv", "-- nothing here\n");
        AddObjectRules rules(f.cache, f.model);
        rules.open();
        rules.selectFile(0);
        QCOMPARE(rules.functionItems(),
                 (std::vector<std::string>{"There are no functions in the LV file"}));
        QVERIFY(!rules.functionsEnabled());
        QVERIFY(!rules.nameEnabled());
        QVERIFY(!rules.okEnabled());
    }

    void browseSelectsCompilesOrReports() {
        lv::test::ObjectFixture f;
        const std::string listed = f.compiled("listed.lv", lv::test::kObjectsText);
        const std::string fresh = f.write("Fresh.lv", "one(x[3], a[0]) { one = 1; }\n");
        const std::string bad = f.write("bad.lv", lv::test::kBadText);
        AddObjectRules rules(f.cache, f.model);
        rules.open();

        // An already listed, current file is selected without compiling it again.
        auto before = f.cache.files().front();
        QVERIFY(!rules.browse(listed));
        QCOMPARE(rules.selectedPath(), listed);
        QCOMPARE(f.cache.files().front(), before);

        // A good file is compiled, listed in sorted place and selected.
        QVERIFY(!rules.browse(fresh));
        QCOMPARE(rules.fileItems(), (std::vector<std::string>{fresh, listed}));
        QCOMPARE(rules.selectedPath(), fresh);
        QCOMPARE(rules.functionItems(), (std::vector<std::string>{"one"}));

        // A bad file is reported with the error format and the error icon, and not listed.
        std::optional<lv::dialogs::Notice> notice = rules.browse(bad);
        QVERIFY(notice);
        QCOMPARE(notice->icon, NoticeIcon::Error);
        QVERIFY(notice->text.starts_with("Program contains errors:\nError text: "));
        QVERIFY(notice->text.ends_with("\nLine: 1"));
        QCOMPARE(rules.fileItems().size(), std::size_t(2));
        QCOMPARE(rules.selectedPath(), fresh);

        // A listed file that changed is dropped and compiled again.
        f.write("listed.lv", "two(x[3], a[0]) { two = 2; }\n");
        QVERIFY(!rules.browse(listed));
        QCOMPARE(rules.selectedPath(), listed);
        QCOMPARE(rules.functionItems(), (std::vector<std::string>{"two"}));
        QCOMPARE(rules.fileItems().size(), std::size_t(2));

        // A file that cannot be read says so instead of doing nothing.
        notice = rules.browse(f.scratch.file("missing.lv"));
        QVERIFY(notice);
        QVERIFY(notice->text.starts_with("Cannot read "));
    }

    void okRefusesDuplicatesAndSmallDimensions() {
        lv::test::ObjectFixture f;
        const std::string path = f.compiled("shapes.lv", lv::test::kObjectsText);
        const std::string other = f.compiled("other.lv", "ball(x[3], a[0]) { ball = 1; }\n");
        QVERIFY(f.add("ball", "ball", other)); // same name, another file
        AddObjectRules rules(f.cache, f.model);
        rules.open();
        rules.selectFile(1); // shapes.lv after other.lv
        QCOMPARE(rules.selectedPath(), path);

        AddObjectRules::OkDecision d = rules.decideOk();
        QVERIFY(!d.add);
        QCOMPARE(d.notice.text, std::string("An object with the same name is already present in "
                                            "the model. Choose another name."));
        QCOMPARE(d.notice.icon, NoticeIcon::Warning);
        QVERIFY(d.focusName);

        rules.selectFunction(2); // flat: x[2]
        d = rules.decideOk();
        QVERIFY(!d.add);
        QCOMPARE(d.notice.text, std::string("You may work only with those objetcs whose dimension "
                                            "of X greater than 2\nAdding object canceled."));
        QCOMPARE(d.notice.icon, NoticeIcon::Error);
        QVERIFY(!d.focusName);

        rules.selectFunction(1);
        rules.editName("Ball"); // differs in case only: allowed
        d = rules.decideOk();
        QVERIFY(d.add);
        QCOMPARE(d.name, std::string("Ball"));
        QCOMPARE(d.function, std::string("quad"));
        QCOMPARE(d.path, path);
    }

    void widgetsAddAnObjectAndMakeItCurrent() {
        lv::test::ObjectFixture f;
        f.compiled("shapes.lv", lv::test::kObjectsText);
        const std::string browsed = f.write("more.lv", "cube(x[3], a[0]) { cube = 1; }\n");
        QSignalSpy added(&f.events, &lv::ui::ModelEvents::objectAdded);
        AddObjectDialog dialog(f.cache, f.events, f.ui);
        QVERIFY(!dialog.functionList()->isEnabled());
        QVERIFY(!dialog.nameField()->isEnabled());
        QVERIFY(!dialog.okButton()->isEnabled());
        QCOMPARE(dialog.nameField()->accessibleName(), QString("Enter the name for object:"));

        f.ui.fileNames.push_back(QString::fromStdString(browsed));
        QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
        QCOMPARE(f.ui.fileDialogTitles.back(), QString("Select file with source text ..."));
        QVERIFY(f.ui.fileDialogFilters.back().contains("*.lv"));
        QVERIFY(f.ui.fileDialogFilters.back().contains("*.LV"));
        QCOMPARE(dialog.fileList()->currentText(), QString::fromStdString(browsed));
        QCOMPARE(items(dialog.functionList()), QStringList{"cube"});
        QCOMPARE(dialog.nameField()->text(), QString("cube"));
        QVERIFY(dialog.okButton()->isEnabled());

        QTest::mouseClick(dialog.showPathBox(), Qt::LeftButton);
        QCOMPARE(items(dialog.fileList()), (QStringList{"more.lv", "shapes.lv"}));
        QCOMPARE(dialog.fileList()->currentText(), QString("more.lv"));

        dialog.nameField()->selectAll();
        QTest::keyClick(dialog.nameField(), Qt::Key_Backspace);
        QVERIFY(!dialog.okButton()->isEnabled());
        QTest::keyClicks(dialog.nameField(), "Cube 1");
        QVERIFY(dialog.okButton()->isEnabled());
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.model.count(), 1);
        QCOMPARE(f.model.currentObject(), &f.model.object(0));
        QCOMPARE(f.model.object(0).name, std::string("Cube 1"));
        QCOMPARE(added.count(), 1);
        QVERIFY(f.ui.shown.empty());
    }

    void widgetsShowRefusalsAndStayOpen() {
        lv::test::ObjectFixture f;
        const std::string path = f.compiled("shapes.lv", lv::test::kObjectsText);
        QVERIFY(f.add("ball", "ball", path));
        AddObjectDialog dialog(f.cache, f.events, f.ui);
        dialog.show();
        dialog.fileList()->setCurrentIndex(0);
        emit dialog.fileList()->activated(0);
        QCOMPARE(dialog.nameField()->text(), QString("ball"));
        dialog.okButton()->click();
        QCOMPARE(f.ui.shown.size(), std::size_t(1));
        QCOMPARE(f.ui.shown[0].icon, MsgIcon::Warning);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.nameField()->text(), QString("ball"));
        QCOMPARE(dialog.nameField()->selectedText(), QString("ball"));
        QCOMPARE(f.model.count(), 1);

        dialog.functionList()->setCurrentIndex(2);
        emit dialog.functionList()->activated(2);
        dialog.okButton()->click();
        QCOMPARE(f.ui.shown.back().icon, MsgIcon::Error);
        QVERIFY(f.ui.lastText().startsWith("You may work only"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.model.count(), 1);
    }

    void fileChangedAfterListingShowsWhyAndRefreshes() {
        lv::test::ObjectFixture f;
        const std::string path = f.compiled("shapes.lv", lv::test::kObjectsText);
        AddObjectDialog dialog(f.cache, f.events, f.ui);
        dialog.show();
        emit dialog.fileList()->activated(0);
        QCOMPARE(dialog.nameField()->text(), QString("ball"));

        // The function disappears from the file: OK reports it and lists the file anew.
        f.write("shapes.lv", "cube(x[3], a[0]) { cube = 1; }\n");
        dialog.okButton()->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.model.count(), 0);
        QCOMPARE(f.ui.shown.back().icon, MsgIcon::Error);
        QVERIFY(f.ui.lastText().contains("ball"));
        QCOMPARE(items(dialog.functionList()), QStringList{"cube"});

        // The file now has an error: OK reports the error and the file leaves the list.
        f.write("shapes.lv", lv::test::kBadText);
        dialog.okButton()->click();
        QVERIFY(dialog.isVisible());
        QVERIFY(f.ui.lastText().startsWith("Program contains errors:"));
        QCOMPARE(dialog.fileList()->count(), 0);
        QVERIFY(!dialog.okButton()->isEnabled());
        QCOMPARE(f.model.count(), 0);
    }
};

QTEST_MAIN(AddObjectDialogTest)
#include "add_object_dialog_test.moc"
