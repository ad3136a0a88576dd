// The "General Objects Properties" dialog: bindings, transform values, OK and Cancel.
#include "dialogs/object_properties_dialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTreeWidget>
#include <QtTest>

#include "tests/dialogs/object_fixture.h"

using lv::dialogs::AParamsTab;
using lv::dialogs::ObjectPropertiesDialog;
using lv::dialogs::ObjectPropertiesRules;
using lv::dialogs::TransformTab;
using lv::dialogs::XAssignTab;
namespace model = lv::model;

namespace {

QStringList column(const QTreeWidget* tree, int c) {
    QStringList out;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) out << tree->topLevelItem(i)->text(c);
    return out;
}

std::vector<std::string> values(const ObjectPropertiesRules& rules) {
    std::vector<std::string> out;
    for (const auto& row : rules.rows()) out.push_back(row.value);
    return out;
}

struct Populated : lv::test::ObjectFixture {
    std::string path = compiled("shapes.lv", lv::test::kObjectsText);
    Populated() {
        add("q", "quad", path);
        add("Ball", "ball", path);
        add("plain", "plain", path);
        events.setCurrentObject(model.findObject("q"));
    }
};

} // namespace

class ObjectPropertiesDialogTest : public QObject {
    Q_OBJECT
private slots:
    void rowsShowBindingsAndTheirControls() {
        Populated f;
        ObjectPropertiesRules rules(f.model, XAssignTab);
        QCOMPARE(rules.objectNames(), (std::vector<std::string>{"Ball", "plain", "q"}));
        QCOMPARE(rules.selectedCopy()->name, std::string("q")); // the current object
        QCOMPARE(rules.rows().size(), std::size_t(4));
        QCOMPARE(rules.rows()[0].attribute, std::string("x[1]"));
        QCOMPARE(values(rules),
                 (std::vector<std::string>{"X axis", "Y axis", "Z axis", "0.000"}));
        QCOMPARE(rules.selectedRow(), 0);
        lv::dialogs::BindingControls c = rules.controls();
        QCOMPARE(c.checkedKind, int(model::XAxis));
        QVERIFY(c.axisEnabled && !c.constantChoiceEnabled && !c.timeEnabled);
        QVERIFY(!c.constantFieldEnabled && c.constantText.empty());

        rules.selectRow(3);
        c = rules.controls();
        QVERIFY(c.constantChoiceEnabled && c.timeEnabled && c.constantFieldEnabled);
        QCOMPARE(c.constantText, std::string("0.000"));
        QVERIFY(!rules.typeConstant("2.5"));
        QCOMPARE(rules.rows()[3].value, std::string("2.500"));
        rules.chooseKind(model::T2);
        QCOMPARE(rules.rows()[3].value, std::string("T2 time"));
        QCOMPARE(rules.selectedRow(), 3);
        QVERIFY(!rules.controls().constantFieldEnabled);

        // Giving X to x[4] turns x[1] into a constant with its stored value.
        rules.chooseKind(model::Constant);
        rules.chooseKind(model::XAxis);
        QCOMPARE(values(rules),
                 (std::vector<std::string>{"0.000", "Y axis", "Z axis", "X axis"}));

        // A params: axes disabled; a copy without a components shows an empty list.
        rules.showTab(AParamsTab);
        QCOMPARE(rules.rows()[1].attribute, std::string("a[2]"));
        QVERIFY(!rules.controls().axisEnabled);
        rules.selectObject(1); // plain: m = 0
        QVERIFY(rules.rows().empty());
        QCOMPARE(rules.selectedRow(), -1);
        QCOMPARE(rules.controls().checkedKind, 0);
        rules.chooseKind(model::T1); // nothing selected: nothing happens
        QVERIFY(!rules.typeConstant("4"));
    }

    void objectWithThreeComponentsHasOnlyAxes() {
        Populated f;
        ObjectPropertiesRules rules(f.model, XAssignTab, "Ball");
        QCOMPARE(values(rules), (std::vector<std::string>{"X axis", "Y axis", "Z axis"}));
        for (int r = 0; r < 3; ++r) {
            rules.selectRow(r);
            QVERIFY(!rules.controls().constantChoiceEnabled);
            QVERIFY(!rules.controls().timeEnabled);
            rules.chooseKind(model::T1); // refused by the binding rules
        }
        QCOMPARE(values(rules), (std::vector<std::string>{"X axis", "Y axis", "Z axis"}));
    }

    void widgetsSwitchTabsAndSwapAxes() {
        Populated f;
        ObjectPropertiesDialog dialog(f.events, f.ui, XAssignTab);
        dialog.show();
        QCOMPARE(dialog.tabBar()->count(), 3);
        QCOMPARE(dialog.tabBar()->tabText(2), QString("Transform"));
        QCOMPARE(dialog.objectList()->currentText(), QString("q"));
        QCOMPARE(dialog.parameterList()->headerItem()->text(0), QString("Attribute:"));
        QCOMPARE(dialog.parameterList()->headerItem()->text(1), QString("Value:"));
        QVERIFY(dialog.spaceGroup()->isVisible());
        QVERIFY(!dialog.valueField()->isVisible());
        QVERIFY(dialog.choice(model::XAxis)->isChecked());
        QVERIFY(!dialog.choice(model::Constant)->isEnabled());
        QCOMPARE(dialog.choice(model::YAxis)->accessibleName(), QString("Y axis"));

        QTest::mouseClick(dialog.choice(model::YAxis), Qt::LeftButton);
        QCOMPARE(column(dialog.parameterList(), 1),
                 (QStringList{"Y axis", "X axis", "Z axis", "0.000"}));
        QVERIFY(dialog.choice(model::YAxis)->isChecked());
        QVERIFY(!dialog.choice(model::XAxis)->isChecked());

        dialog.tabBar()->setCurrentIndex(AParamsTab); // as the keyboard does
        QCOMPARE(dialog.rules().tab(), int(AParamsTab));
        QCOMPARE(column(dialog.parameterList(), 0), (QStringList{"a[1]", "a[2]"}));
        QVERIFY(!dialog.spaceGroup()->isEnabled());
        QVERIFY(dialog.constantField()->isEnabled());

        dialog.tabBar()->setCurrentIndex(TransformTab);
        QVERIFY(!dialog.spaceGroup()->isVisible());
        QVERIFY(dialog.valueField()->isVisible());
        QCOMPARE(column(dialog.parameterList(), 0).at(6), QString("X scale"));
        QCOMPARE(column(dialog.parameterList(), 1).at(6), QString("1.000"));
        QCOMPARE(dialog.valueField()->text(), QString("0.000"));

        emit dialog.objectList()->activated(1); // plain, on the Transform tab
        QCOMPARE(dialog.rules().selectedCopy()->name, std::string("plain"));
        dialog.tabBar()->setCurrentIndex(AParamsTab);
        QCOMPARE(dialog.parameterList()->topLevelItemCount(), 0);
        QVERIFY(!dialog.constantField()->isEnabled());
    }

    void typedTransformTextStaysUntilRefill() {
        Populated f;
        ObjectPropertiesDialog dialog(f.events, f.ui, TransformTab);
        dialog.show();
        dialog.parameterList()->setCurrentItem(dialog.parameterList()->topLevelItem(3));
        dialog.valueField()->setFocus();
        dialog.valueField()->selectAll();
        QTest::keyClicks(dialog.valueField(), "45.25");
        QCOMPARE(dialog.parameterList()->topLevelItem(3)->text(1), QString("45.25"));
        QCOMPARE(dialog.rules().selectedCopy()->transform.rotate[0], 45.25f);
        dialog.parameterList()->setCurrentItem(dialog.parameterList()->topLevelItem(0));
        QCOMPARE(dialog.parameterList()->topLevelItem(3)->text(1), QString("45.25"));
        dialog.tabBar()->setCurrentIndex(XAssignTab);
        dialog.tabBar()->setCurrentIndex(TransformTab);
        QCOMPARE(dialog.parameterList()->topLevelItem(3)->text(1), QString("45.250"));
    }

    void okReplacesTheObjectsAndCancelChangesNothing() {
        Populated f;
        const model::ModelObject* before = &f.model.object(0);
        {
            ObjectPropertiesDialog dialog(f.events, f.ui, XAssignTab);
            QTest::mouseClick(dialog.choice(model::ZAxis), Qt::LeftButton);
            dialog.reject();
        }
        QCOMPARE(&f.model.object(0), before);
        QCOMPARE(f.model.object(0).xBindings.bindings[0].kind, int(model::XAxis));

        ObjectPropertiesDialog dialog(f.events, f.ui, XAssignTab);
        QTest::mouseClick(dialog.choice(model::ZAxis), Qt::LeftButton);
        emit dialog.objectList()->activated(0); // Ball becomes the selected copy
        dialog.okButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.model.count(), 3);
        QCOMPARE(f.model.object(0).name, std::string("q")); // model order kept
        QCOMPARE(f.model.object(0).xBindings.bindings[0].kind, int(model::ZAxis));
        QCOMPARE(f.model.object(0).xBindings.zIndex, 0);
        QCOMPARE(f.model.object(0).xBindings.xIndex, 2);
        QCOMPARE(f.model.currentObject(), f.model.findObject("Ball"));
    }

    void nonFiniteNumbersAreRefused() {
        Populated f;
        ObjectPropertiesRules rules(f.model, XAssignTab);
        rules.selectRow(3);
        for (const char* text : {"inf", "-inf", "nan", "1e39", "-3.5e38"}) {
            std::optional<lv::dialogs::Notice> refused = rules.typeConstant(text);
            QVERIFY2(refused, text);
            QCOMPARE(refused->icon, lv::dialogs::NoticeIcon::Error);
            QVERIFY(rules.okRefusal());
        }
        QCOMPARE(rules.selectedCopy()->xBindings.bindings[3].value, 0.0f);
        QVERIFY(!rules.typeConstant("3.4e38"));
        QVERIFY(!rules.okRefusal());
        rules.showTab(TransformTab);
        QVERIFY(rules.typeTransformValue("1e39"));
        QCOMPARE(rules.selectedCopy()->transform.translate[0], 0.0f);
        QCOMPARE(rules.rows()[0].value, std::string("0.000"));

        ObjectPropertiesDialog dialog(f.events, f.ui, TransformTab);
        dialog.show();
        dialog.valueField()->setFocus();
        dialog.valueField()->selectAll();
        QTest::keyClicks(dialog.valueField(), "1e39");
        QCOMPARE(f.ui.shown.size(), std::size_t(1));
        QCOMPARE(f.ui.shown[0].icon, lv::ui::MsgIcon::Error);
        QCOMPARE(dialog.valueField()->selectedText(), QString("1e39"));
        dialog.okButton()->click(); // the refused text is still there: refused again
        QCOMPARE(f.ui.shown.size(), std::size_t(2));
        QVERIFY(dialog.isVisible());
        QCOMPARE(f.model.object(0).transform.translate[0], 0.0f);
        QTest::keyClicks(dialog.valueField(), "7");
        dialog.okButton()->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f.model.findObject("q")->transform.translate[0], 7.0f);
    }
};

QTEST_MAIN(ObjectPropertiesDialogTest)
#include "object_properties_dialog_test.moc"
