// The shared UI services: accessible names from labels and the fake message boxes that every
// dialog test answers through.
#include "app/ui_services.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

class UiServicesTest : public QObject {
    Q_OBJECT
private slots:
    void accessibleNamesComeFromLabels() {
        QWidget w;
        auto* layout = new QVBoxLayout(&w);
        auto* label = new QLabel("&Width:", &w);
        auto* edit = new QLineEdit(&w);
        label->setBuddy(edit);
        auto* button = new QPushButton("&Browse", &w);
        auto* check = new QCheckBox("&Show file path", &w);
        auto* named = new QPushButton("OK", &w);
        named->setAccessibleName("Accept");
        for (QWidget* c : {static_cast<QWidget*>(label), static_cast<QWidget*>(edit),
                           static_cast<QWidget*>(button), static_cast<QWidget*>(check),
                           static_cast<QWidget*>(named)})
            layout->addWidget(c);
        lv::ui::applyAccessibleNames(&w);
        QCOMPARE(edit->accessibleName(), QString("Width:"));
        QCOMPARE(button->accessibleName(), QString("Browse"));
        QCOMPARE(check->accessibleName(), QString("Show file path"));
        QCOMPARE(named->accessibleName(), QString("Accept"));
    }

    void fakeAnswersInOrderThenDefault() {
        lv::ui::FakeUiServices ui;
        ui.answers.push_back(lv::ui::MsgResult::Yes);
        QCOMPARE(ui.message(nullptr, "q1", lv::ui::MsgIcon::Question, lv::ui::MsgButtons::YesNo,
                            lv::ui::MsgResult::No),
                 lv::ui::MsgResult::Yes);
        QCOMPARE(ui.message(nullptr, "q2", lv::ui::MsgIcon::Question, lv::ui::MsgButtons::YesNo,
                            lv::ui::MsgResult::No),
                 lv::ui::MsgResult::No);
        QCOMPARE(ui.shown.size(), size_t(2));
        QCOMPARE(ui.lastText(), QString("q2"));
        lv::ui::UiServices& services = ui;
        QVERIFY(services.openFileName(nullptr, "t", "f").isEmpty());
        QVERIFY(!ui.chooseColor(nullptr, Qt::red));
    }
};

QTEST_MAIN(UiServicesTest)
#include "ui_services_test.moc"
