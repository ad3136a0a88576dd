// The main window's settings commands: which are enabled, which dialog each opens on which
// page or branch, and that OK stores into the application's model.
#include "dialogs/settings_dialogs.h"
#include "dialogs/settings_properties_dialog.h"
#include "lang/settings.h"
#include "tests/dialogs/settings_test_support.h"
// gui_test_util.h uses QCoreApplication without including it.
#include <QCoreApplication>

#include "tests/gui/gui_test_util.h"
#include "app/model_commands.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace lv::dialogs;
using namespace lv::app;
namespace model = lv::model;

namespace {

// Runs act on the modal dialog of type D once it is shown, then closes it with Cancel (or
// leaves it to act); fails when another window is shown.
template <class D>
void whenShown(std::function<void(D&)> act) {
    testing::whenShown<D>(std::move(act), true);
}

} // namespace

class SettingsCommandsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { lv::test::useTestSettings("settings_commands_tests"); }

    void objectCommandsNeedObjectsAndTheOthersAreAlwaysOn() {
        lv::test::GuiFixture f;
        const int objectIds[] = {kCmdRenderObjectProperties, kCmdPolyGrids,  kCmdPolyAxesBox,
                                 kCmdPolyObjectColor,        kCmdRayMaxGradient, kCmdRayAccuracy,
                                 kCmdRayObjectColor,         kCmdModelTimeVars};
        const int alwaysIds[] = {kCmdModelSpace,     kCmdRenderPointOfView, kCmdPolyQuality,
                                 kCmdPolyBackground, kCmdRayBackground,     kCmdPolyImageSize,
                                 kCmdRayImageSize,   kCmdSetEps,            kCmdSetAlpha};
        f.window->refreshCommands();
        for (int id : objectIds)
            QVERIFY2(!f.window->action(id)->isEnabled(), qPrintable(QString::number(id)));
        for (int id : alwaysIds) QVERIFY(f.window->action(id)->isEnabled());
        testing::addShape(f.state.model, "ball");
        f.window->refreshCommands();
        for (int id : objectIds) QVERIFY(f.window->action(id)->isEnabled());
        for (int id : {kCmdPolyLights, kCmdRayLights})
            QVERIFY(!f.window->action(id)->isEnabled());
        // Without objects the command does nothing, even through a shortcut.
        lv::test::GuiFixture empty;
        empty.window->execute(kCmdPolyGrids);
        QVERIFY(empty.ui.shown.empty());
    }

    void objectPropertyCommandsOpenTheirPage() {
        lv::test::GuiFixture f;
        testing::addShape(f.state.model, "ball");
        const std::pair<int, int> pages[] = {
            {kCmdRenderObjectProperties, BoxPage}, {kCmdPolyGrids, GridsPage},
            {kCmdPolyAxesBox, AxesPage},           {kCmdPolyObjectColor, PolyColourPage},
            {kCmdRayMaxGradient, MaxGradientPage}, {kCmdRayAccuracy, AccuracyPage},
            {kCmdRayObjectColor, RayColourPage}};
        for (auto [id, page] : pages) {
            whenShown<RenderingPropertiesDialog>([page = page](RenderingPropertiesDialog& d) {
                QCOMPARE(d.stack()->currentIndex(), page);
                QCOMPARE(d.pages()->currentIndex(), page);
            });
            f.window->execute(id);
        }
        whenShown<RenderingPropertiesDialog>([](RenderingPropertiesDialog& d) {
            d.gridField(1)->setText("12");
            d.applyButton()->click();
            d.accept();
        });
        int replaced = 0;
        QObject::connect(&f.window->modelCommands().events(), &lv::ui::ModelEvents::objectsReplaced,
                         [&replaced] { ++replaced; });
        f.window->execute(kCmdPolyGrids);
        QCOMPARE(f.state.model.object(0).grid[1], 12);
        QCOMPARE(replaced, 1); // the object list window and the title follow
    }

    void sizeAndColourCommandsPreselectTheirBranch() {
        lv::test::GuiFixture f;
        for (auto [id, target] : {std::pair{kCmdPolyImageSize, SettingsTarget::Polygonization},
                                  std::pair{kCmdRayImageSize, SettingsTarget::Raytracing}}) {
            whenShown<ImageSizeDialog>([target = target](ImageSizeDialog& d) {
                QVERIFY(d.target(target)->isChecked());
                QCOMPARE(d.windowTitle(), QString::fromStdString(imageSizeCaption(target)));
            });
            f.window->execute(id);
        }
        for (auto [id, target] : {std::pair{kCmdPolyBackground, SettingsTarget::Polygonization},
                                  std::pair{kCmdRayBackground, SettingsTarget::Raytracing}}) {
            whenShown<BackgroundColorDialog>([target = target](BackgroundColorDialog& d) {
                QVERIFY(d.target(target)->isChecked());
            });
            f.window->execute(id);
        }
        whenShown<ImageSizeDialog>([](ImageSizeDialog& d) {
            d.field(0)->setText("640");
            d.accept();
        });
        f.window->execute(kCmdRayImageSize);
        QCOMPARE(f.state.model.settings.rayImage.width, 640);
        QCOMPARE(f.state.model.settings.polyImage.width, 160);
    }

    void modelCameraQualityAndPrecisionCommands() {
        lv::test::GuiFixture f;
        whenShown<ModelSpaceDialog>([](ModelSpaceDialog& d) {
            d.field(0)->setText("-3");
            d.accept();
        });
        QVERIFY(!f.window->modelCommands().events().isModified());
        f.window->execute(kCmdModelSpace);
        QCOMPARE(f.state.model.settings.defaultBox.xmin, -3.0f);
        QVERIFY(f.window->modelCommands().events().isModified()); // the title shows it

        whenShown<CameraDialog>([](CameraDialog& d) {
            d.field(0)->setText("0");
            d.accept();
        });
        f.window->execute(kCmdRenderPointOfView);
        QCOMPARE(f.state.model.settings.cameraPosition.x, 0.0f);

        whenShown<RenderQualityDialog>([](RenderQualityDialog& d) {
            d.kinds()->button(1)->click();
            d.accept();
        });
        f.window->execute(kCmdPolyQuality);
        QCOMPARE(f.state.model.settings.surfaceKind, 1);

        whenShown<LumovarPropertiesDialog>(
            [](LumovarPropertiesDialog& d) { QCOMPARE(d.focusWidget(), d.field(0)); });
        f.window->execute(kCmdSetEps);
        whenShown<LumovarPropertiesDialog>(
            [](LumovarPropertiesDialog& d) { QCOMPARE(d.focusWidget(), d.field(1)); });
        f.window->execute(kCmdSetAlpha);
        QCOMPARE(lv::lang::eps(), lv::lang::kDefaultEps);

        testing::addShape(f.state.model, "grow", true);
        whenShown<TimeVariablesDialog>([](TimeVariablesDialog& d) {
            d.field(1)->setText("4");
            d.accept();
        });
        f.window->execute(kCmdModelTimeVars);
        QCOMPARE(f.state.model.settings.timeDefaults[1], 4.0f);
    }
};

QTEST_MAIN(SettingsCommandsTest)
#include "settings_commands_test.moc"
