// The "Model objects" window and the change notifications it follows.
#include "dialogs/object_list_window.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include "dialogs/add_object_dialog.h"
#include "dialogs/object_properties_dialog.h"
#include "tests/dialogs/object_fixture.h"

using lv::dialogs::ObjectListRules;
using lv::dialogs::ObjectListWindow;
using lv::ui::MsgIcon;
using lv::ui::MsgResult;

namespace {

QStringList items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

QStringList selected(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) out << list->item(i)->text();
    return out;
}

struct Populated : lv::test::ObjectFixture {
    std::string path = compiled("shapes.lv", lv::test::kObjectsText);
    Populated() {
        add("beta", "ball", path);
        add("Alpha", "ball", path);
        add("gamma", "quad", path); // current
    }
};

} // namespace

class ObjectListWindowTest : public QObject {
    Q_OBJECT
private slots:
    void rulesSortIgnoringCaseAndSelectTheCurrentObject() {
        Populated f;
        ObjectListRules rules(f.model);
        rules.refill();
        QCOMPARE(rules.items(), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
        QCOMPARE(rules.selection(), std::vector<int>{2});
        QVERIFY(rules.removeEnabled() && rules.propertiesEnabled() && rules.removeAllEnabled());
        rules.setSelection({0, 1, 7});
        QCOMPARE(rules.selectedNames(), (std::vector<std::string>{"Alpha", "beta"}));
        QVERIFY(rules.removeEnabled());
        QVERIFY(!rules.propertiesEnabled());
        rules.setSelection({});
        QVERIFY(!rules.removeEnabled() && !rules.propertiesEnabled());

        f.events.setCurrentObject(nullptr);
        rules.refill();
        QVERIFY(rules.selection().empty());
        f.events.removeAll();
        rules.refill();
        QVERIFY(rules.items().empty());
        QVERIFY(!rules.removeAllEnabled());
    }

    void notificationsReportEachChangeAndTheModifiedState() {
        Populated f;
        f.events.setModified(false);
        QSignalSpy changed(&f.events, &lv::ui::ModelEvents::changed);
        QSignalSpy removed(&f.events, &lv::ui::ModelEvents::objectsRemoved);
        QSignalSpy replaced(&f.events, &lv::ui::ModelEvents::objectsReplaced);
        QSignalSpy current(&f.events, &lv::ui::ModelEvents::currentObjectChanged);
        QSignalSpy modified(&f.events, &lv::ui::ModelEvents::modifiedChanged);

        QVERIFY(!f.add("beta", "ball", f.path)); // refused: nothing signalled
        QCOMPARE(changed.count(), 0);
        f.events.removeObjects({"nobody"});
        QCOMPARE(changed.count(), 0);
        QVERIFY(!f.events.isModified());

        f.events.removeObjects({"gamma", "beta"});
        QCOMPARE(removed.count(), 1);
        QCOMPARE(current.count(), 1); // gamma was current
        QCOMPARE(changed.count(), 1);
        QVERIFY(f.events.isModified());
        QCOMPARE(modified.count(), 1);
        QCOMPARE(f.model.count(), 1);
        QCOMPARE(f.model.currentObject(), nullptr);

        std::vector<std::unique_ptr<lv::model::ModelObject>> edited;
        edited.push_back(lv::model::copyModelObject(f.model.object(0)));
        QVERIFY(f.events.replaceObjects(edited, edited[0].get()));
        QCOMPARE(replaced.count(), 1);
        QCOMPARE(changed.count(), 2);

        f.events.replaceModel(lv::model::Model());
        QCOMPARE(f.model.count(), 0);
        QVERIFY(!f.events.isModified());
        QCOMPARE(changed.count(), 3);
    }

    void windowButtonsFollowTheSelection() {
        Populated f;
        ObjectListWindow window(f.cache, f.events, f.ui);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(items(window.list()), (QStringList{"Alpha", "beta", "gamma"}));
        QCOMPARE(selected(window.list()), QStringList{"gamma"});
        QVERIFY(window.list()->selectionMode() == QAbstractItemView::ExtendedSelection);
        QCOMPARE(window.list()->accessibleName(), QString("Available Objects:"));
        QVERIFY(window.removeButton()->isEnabled());
        QVERIFY(window.propertiesButton()->isEnabled());

        window.list()->item(0)->setSelected(true);
        QVERIFY(window.removeButton()->isEnabled());
        QVERIFY(!window.propertiesButton()->isEnabled());
        window.list()->clearSelection();
        QVERIFY(!window.removeButton()->isEnabled());
        QVERIFY(!window.propertiesButton()->isEnabled());
        QVERIFY(window.removeAllButton()->isEnabled());
    }

    void removeAsksWithNoAsDefault() {
        Populated f;
        ObjectListWindow window(f.cache, f.events, f.ui);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.list()->clearSelection();
        window.list()->item(0)->setSelected(true);
        window.list()->item(1)->setSelected(true);

        f.ui.answers.push_back(MsgResult::No);
        window.removeButton()->click();
        QCOMPARE(f.ui.shown.back().text, QString("Do you really want to remove selected objects?"));
        QCOMPARE(f.ui.shown.back().icon, MsgIcon::Question);
        QCOMPARE(f.ui.shown.back().buttons, lv::ui::MsgButtons::YesNo);
        QCOMPARE(f.ui.shown.back().defaultButton, MsgResult::No);
        QCOMPARE(f.model.count(), 3);

        f.ui.answers.push_back(MsgResult::Yes);
        window.removeButton()->click();
        QCOMPARE(f.model.count(), 1);
        QCOMPARE(items(window.list()), QStringList{"gamma"});
        QCOMPARE(selected(window.list()), QStringList{"gamma"}); // still the current object

        f.ui.answers.push_back(MsgResult::No);
        window.removeAllButton()->click();
        QCOMPARE(f.ui.shown.back().text,
                 QString("You are about to remove ALL objects from model.\n"
                         "Do you really want to remove them?"));
        QCOMPARE(f.ui.shown.back().defaultButton, MsgResult::No);
        QCOMPARE(f.model.count(), 1);
        f.ui.answers.push_back(MsgResult::Yes);
        window.removeAllButton()->click();
        QCOMPARE(f.model.count(), 0);
        QCOMPARE(window.list()->count(), 0);
        QVERIFY(!window.removeAllButton()->isEnabled());
    }

    void refillsAfterAReplaceMadeElsewhere() {
        Populated f;
        ObjectListWindow window(f.cache, f.events, f.ui);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.list()->clearSelection();
        window.list()->item(1)->setSelected(true); // beta

        // Another dialog replaces every object: the window lists names, so it survives.
        lv::dialogs::ObjectPropertiesDialog other(f.events, f.ui, lv::dialogs::XAssignTab, "Alpha");
        other.accept();
        QCOMPARE(items(window.list()), (QStringList{"Alpha", "beta", "gamma"}));
        QCOMPARE(selected(window.list()), QStringList{"Alpha"}); // the new current object
        window.list()->clearSelection();
        window.list()->item(1)->setSelected(true);
        f.ui.answers.push_back(MsgResult::Yes);
        window.removeButton()->click();
        QVERIFY(!f.model.findObject("beta"));
        QCOMPARE(f.model.count(), 2);

        // An object added from elsewhere appears at once.
        f.add("delta", "ball", f.path);
        QCOMPARE(items(window.list()), (QStringList{"Alpha", "delta", "gamma"}));

        // Code that replaced the objects itself says so, and the window follows.
        f.model.removeObject(f.model.findObject("gamma"));
        f.events.objectsEdited();
        QCOMPARE(items(window.list()), (QStringList{"Alpha", "delta"}));
    }

    void addNewAndPropertiesOpenTheirDialogs() {
        Populated f;
        ObjectListWindow window(f.cache, f.events, f.ui);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        window.show();
        QString seenTab;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<lv::dialogs::AddObjectDialog*>(
                QApplication::activeModalWidget());
            QVERIFY(dialog);
            emit dialog->fileList()->activated(0);
            dialog->nameField()->setText("epsilon");
            dialog->rules().editName("epsilon");
            dialog->okButton()->click();
        });
        window.addButton()->click();
        QCOMPARE(f.model.count(), 4);
        QCOMPARE(selected(window.list()), QStringList{"epsilon"});

        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<lv::dialogs::ObjectPropertiesDialog*>(
                QApplication::activeModalWidget());
            QVERIFY(dialog);
            seenTab = QString::number(dialog->rules().tab()) + " " +
                      dialog->objectList()->currentText();
            dialog->reject();
        });
        window.propertiesButton()->click();
        QCOMPARE(seenTab, QString("0 epsilon"));
    }

    void closeDestroysTheWindow() {
        Populated f;
        QPointer<ObjectListWindow> window = new ObjectListWindow(f.cache, f.events, f.ui);
        QSignalSpy closed(window.data(), &ObjectListWindow::closed);
        window->show();
        QTest::keyClick(window.data(), Qt::Key_Escape);
        QCOMPARE(closed.count(), 1);
        QTRY_VERIFY(window.isNull());
    }
};

QTEST_MAIN(ObjectListWindowTest)
#include "object_list_window_test.moc"
