// The settings dialogs as the user meets them: texts shown, messages and icons, focus and
// selection after a refusal, what OK, Apply and Cancel store.
#include "dialogs/settings_commands.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/settings_properties_dialog.h"
#include "lang/settings.h"
#include "tests/dialogs/settings_test_support.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace lv::dialogs;
namespace model = lv::model;
namespace lang = lv::lang;
namespace ui = lv::ui;

using lv::dialogs::testing::buttonNamed;
using lv::dialogs::testing::clickOk;
using lv::dialogs::testing::focusedAndSelected;
using lv::dialogs::testing::whenShown;

class SettingsDialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() {
        lang::setEps(lang::kDefaultEps);
        lang::setAlpha(lang::kDefaultAlpha);
    }

    void modelSpaceRefusesNonFiniteWithFocusAndStoresOnOk() {
        ui::FakeUiServices fake;
        model::BoundingBox box;
        box.zmax = 2.5f;
        ModelSpaceDialog d(fake, box);
        d.show();
        QCOMPARE(d.windowTitle(), QString("Model Space"));
        QCOMPARE(d.field(0)->text(), QString("-10.0"));
        QCOMPARE(d.field(5)->text(), QString("2.5"));
        QCOMPARE(d.field(0)->accessibleName(), QString("X varies from :"));
        QCOMPARE(d.field(3)->accessibleName(), QString("Y to:"));
        d.field(3)->setText("1e39");
        clickOk(d);
        QCOMPARE(fake.shown.size(), std::size_t(1));
        QCOMPARE(fake.lastText(), QString(kNotFiniteMessage));
        QCOMPARE(fake.shown[0].icon, ui::MsgIcon::Error);
        QVERIFY(focusedAndSelected(d, d.field(3)));
        d.field(3)->setText("-20");
        clickOk(d);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.box().ymax, -20.0f); // below its "from": accepted
    }

    void timeVariablesDisableUnusedAndRefuseBadText() {
        ui::FakeUiServices fake;
        TimeVariablesDialog d(fake, {1.5f, 0.0f, 0.0f}, {false, true, false});
        d.show();
        QCOMPARE(d.windowTitle(), QString("Time Variables"));
        QVERIFY(!d.field(0)->isEnabled() && !d.label(0)->isEnabled());
        QVERIFY(d.field(1)->isEnabled() && d.label(1)->isEnabled());
        QCOMPARE(d.field(0)->text(), QString("1.5"));
        d.field(1)->setText("2x");
        clickOk(d);
        QCOMPARE(fake.lastText(), QString("Please enter a number."));
        QCOMPARE(fake.shown.back().icon, ui::MsgIcon::Warning);
        QVERIFY(focusedAndSelected(d, d.field(1)));
        d.field(1)->setText("nan");
        clickOk(d);
        QCOMPARE(fake.lastText(), QString(kNotFiniteMessage));
        d.field(1)->setText(" 2.5 ");
        clickOk(d);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.values()[1], 2.5f);
    }

    void timeVariablesCommandNeedsATimeBinding() {
        ui::FakeUiServices fake;
        model::Model m;
        testing::addShape(m, "ball");
        QVERIFY(!runTimeVariables(nullptr, fake, m)); // no dialog: the guard refuses
        QCOMPARE(fake.lastText(), QString(kNoTimeVariablesMessage));
        QCOMPARE(fake.shown.back().icon, ui::MsgIcon::Information);

        testing::addShape(m, "grow", true);
        whenShown<TimeVariablesDialog>([](TimeVariablesDialog& d) {
            QVERIFY(!d.field(0)->isEnabled() && d.field(1)->isEnabled());
            d.field(1)->setText("0.75");
            clickOk(d);
        });
        QVERIFY(runTimeVariables(nullptr, fake, m));
        QCOMPARE(m.settings.timeDefaults[1], 0.75f);
    }

    void imageSizeRangesFocusAndBranchChoice() {
        ui::FakeUiServices fake;
        model::ModelSettings s;
        s.rayImage = {320, 240};
        ImageSizeDialog d(fake, s, SettingsTarget::Raytracing);
        d.show();
        QCOMPARE(d.windowTitle(), QString("Raytraced image size"));
        QCOMPARE(d.field(0)->text(), QString("320"));
        QVERIFY(d.target(SettingsTarget::Raytracing)->isChecked());
        d.field(0)->setText("19");
        clickOk(d);
        QCOMPARE(fake.lastText(), QString("Horizontal must be in range 20 .. 1600."));
        QCOMPARE(fake.shown.back().icon, ui::MsgIcon::Error);
        QVERIFY(focusedAndSelected(d, d.field(0)));
        d.field(0)->setText("1600");
        d.field(1)->setText("1201");
        clickOk(d);
        QCOMPARE(fake.lastText(), QString("Vertical must be in range 15 .. 1200."));
        QVERIFY(focusedAndSelected(d, d.field(1)));

        // From the ray-tracing menu with the polygonization window chosen.
        model::Model m;
        m.settings.rayImage = {320, 240};
        whenShown<ImageSizeDialog>([](ImageSizeDialog& d) {
            d.target(SettingsTarget::Polygonization)->click();
            d.field(0)->setText("20");
            d.field(1)->setText("15");
            clickOk(d);
        });
        QVERIFY(runImageSize(nullptr, fake, m, SettingsTarget::Raytracing));
        QCOMPARE(m.settings.polyImage.width, 20);
        QCOMPARE(m.settings.polyImage.height, 15);
        QCOMPARE(m.settings.rayImage.width, 320);
    }

    void backgroundColourChooserAndBranchChoice() {
        ui::FakeUiServices fake;
        model::Model m;
        m.settings.rayBackground = {0, 0, 128};
        whenShown<BackgroundColorDialog>([&fake](BackgroundColorDialog& d) {
            QCOMPARE(d.windowTitle(), QString("Background color"));
            QCOMPARE(d.swatch()->colour(), (model::Rgb{0, 0, 128}));
            QVERIFY(d.target(SettingsTarget::Raytracing)->isChecked());
            fake.colors.push_back(std::nullopt); // the chooser cancelled: nothing changes
            buttonNamed(d, "&Select")->click();
            QCOMPARE(d.swatch()->colour(), (model::Rgb{0, 0, 128}));
            fake.colors.push_back(QColor(10, 200, 30));
            buttonNamed(d, "&Select")->click();
            QCOMPARE(d.swatch()->colour(), (model::Rgb{10, 200, 30}));
            QCOMPARE(d.swatch()->palette().color(QPalette::Window), QColor(10, 200, 30));
            d.target(SettingsTarget::Both)->click();
            clickOk(d);
        });
        QVERIFY(runBackgroundColor(nullptr, fake, m, SettingsTarget::Raytracing));
        QCOMPARE(m.settings.rayBackground, (model::Rgb{10, 200, 30}));
        QCOMPARE(m.settings.polyBackground, (model::Rgb{10, 200, 30}));

        whenShown<BackgroundColorDialog>([&fake](BackgroundColorDialog& d) {
            QVERIFY(d.target(SettingsTarget::Polygonization)->isChecked());
            fake.colors.push_back(QColor(1, 2, 3));
            buttonNamed(d, "&Select")->click();
            d.reject();
        });
        QVERIFY(!runBackgroundColor(nullptr, fake, m, SettingsTarget::Polygonization));
        QCOMPARE(m.settings.polyBackground, (model::Rgb{10, 200, 30})); // Cancel stores nothing
    }

    void renderQualityPreselectsAndLightingEnablesShading() {
        model::ModelSettings s;
        s.surfaceKind = 9;
        s.flatShading = 0;
        s.lightingOn = 0;
        RenderQualityDialog d(s);
        d.show();
        QCOMPARE(d.windowTitle(), QString("Rendering quality"));
        QCOMPARE(d.kinds()->checkedId(), 0);
        QVERIFY(d.gouraud()->isChecked());
        QVERIFY(!d.gouraud()->isEnabled());
        d.lighting()->click();
        QVERIFY(d.gouraud()->isEnabled());
        d.kinds()->button(1)->click();
        d.flat()->click();
        d.antialiasing()->click();
        clickOk(d);
        QCOMPARE(d.settings().surfaceKind, 1);
        QCOMPARE(d.settings().flatShading, 1);
        QCOMPARE(d.settings().lightingOn, 1);
        QCOMPARE(d.settings().antialiasingOn, 1);
        QCOMPARE(d.settings().ditheringOn, 0);
    }

    void lumovarPropertiesAskThenStoreBothOrNeither() {
        ui::FakeUiServices fake;
        LumovarPropertiesDialog alphaFirst(fake, true);
        QCOMPARE(alphaFirst.focusWidget(), alphaFirst.field(1));
        QVERIFY(alphaFirst.field(1)->hasSelectedText());

        LumovarPropertiesDialog d(fake, false);
        d.show();
        QCOMPARE(d.windowTitle(), QString("Lumovar Properties"));
        QCOMPARE(d.focusWidget(), d.field(0));
        QCOMPARE(d.field(0)->text(), QString("1e-06"));
        QCOMPARE(d.field(1)->text(), QString("0.0"));
        d.field(0)->setText("0.5");
        d.field(1)->setText("2");
        fake.answers.push_back(ui::MsgResult::No);
        clickOk(d);
        QCOMPARE(fake.lastText(),
                 QString("Are the values below correct:\nEPS = 0.5;\nALPHA = 2.0?"));
        QCOMPARE(fake.shown.back().icon, ui::MsgIcon::Question);
        QCOMPARE(fake.shown.back().buttons, ui::MsgButtons::YesNo);
        QVERIFY(d.isVisible());
        QCOMPARE(lang::eps(), lang::kDefaultEps);

        fake.answers.push_back(ui::MsgResult::Yes);
        clickOk(d);
        QCOMPARE(fake.lastText(), QString("Range error: ALPHA must be in [-1.0 .. +1.0]"));
        QCOMPARE(fake.shown.back().icon, ui::MsgIcon::Error);
        QVERIFY(focusedAndSelected(d, d.field(1)));
        QCOMPARE(lang::eps(), lang::kDefaultEps); // the good EPS waits for a good ALPHA
        d.reject();
        QCOMPARE(lang::eps(), lang::kDefaultEps);

        whenShown<LumovarPropertiesDialog>([&fake](LumovarPropertiesDialog& d) {
            d.field(0)->setText("1");
            fake.answers.push_back(ui::MsgResult::Yes);
            clickOk(d);
            QCOMPARE(fake.lastText(), QString("Range error: EPS must be between (0.0 .. +1.0)"));
            QVERIFY(focusedAndSelected(d, d.field(0)));
            d.field(0)->setText("0.001");
            d.field(1)->setText("1");
            fake.answers.push_back(ui::MsgResult::Yes);
            clickOk(d);
        });
        QVERIFY(runLumovarProperties(nullptr, fake, false));
        QCOMPARE(lang::eps(), 0.001f);
        QCOMPARE(lang::alpha(), 1.0f);
    }

    void propertiesPagesLoadFromTheSelectedCopy() {
        ui::FakeUiServices fake;
        model::Model m;
        m.settings.defaultBox = {-1, -1, -1, 1, 1, 1};
        model::ModelObject& b = testing::addShape(m, "b");
        b.customBox = 1;
        b.ownBox = {0, 0, 0, 4, 4, 4};
        testing::addShape(m, "A");
        m.setCurrentObject(&b);
        RenderingPropertiesDialog d(fake, m, BoxPage);
        d.show();
        QCOMPARE(d.windowTitle(), QString("Objects rendering properties"));
        QCOMPARE(d.objects()->count(), 2);
        QCOMPARE(d.objects()->itemText(0), QString("A"));
        QCOMPARE(d.objects()->currentText(), QString("b"));
        QCOMPARE(d.pages()->count(), kPropertyPageCount);
        QCOMPARE(d.pages()->itemText(4), QString("Raytracing Max Gradient"));
        QVERIFY(d.customRadio()->isChecked());
        QCOMPARE(d.boxField(3)->text(), QString("4.0"));
        QVERIFY(d.boxField(3)->isEnabled());

        // Clicking Default, then Custom, reloads the model's default box.
        d.defaultRadio()->click();
        QCOMPARE(d.boxField(3)->text(), QString("1.0"));
        QVERIFY(!d.boxField(3)->isEnabled());
        d.boxField(3)->setText("7");
        d.customRadio()->click();
        QCOMPARE(d.boxField(3)->text(), QString("1.0"));
        QVERIFY(d.boxField(3)->isEnabled());
        d.boxField(0)->setText("2");
        d.applyButton()->click();
        QCOMPARE(fake.lastText(), QString("Incorrect bounding box.\nPlease modify your inputs."));
        QCOMPARE(fake.shown.back().icon, ui::MsgIcon::Error);
        QVERIFY(focusedAndSelected(d, d.boxField(0)));

        d.chooseObject(0);
        QVERIFY(d.defaultRadio()->isChecked());
        QVERIFY(!d.boxField(0)->isEnabled());
        d.choosePage(AxesPage);
        QCOMPARE(d.stack()->currentIndex(), int(AxesPage));
        QCOMPARE(qobject_cast<QLabel*>(d.stack()->currentWidget())->text(),
                 QString("Sorry, not implemented yet"));

        d.choosePage(MaxGradientPage);
        QVERIFY(d.autoGradient()->isChecked());
        QVERIFY(!d.maxGradientField()->isEnabled() && !d.maxGradientLabel()->isEnabled());
        d.autoGradient()->click();
        QVERIFY(d.maxGradientField()->isEnabled() && d.maxGradientLabel()->isEnabled());
        d.maxGradientField()->setText("0.05");
        d.applyButton()->click();
        QCOMPARE(fake.lastText(), QString("Max Gradient must be not less than 0.1"));
        QVERIFY(focusedAndSelected(d, d.maxGradientField()));

        d.choosePage(GridsPage);
        d.gridField(2)->setText("1");
        d.applyButton()->click();
        QCOMPARE(fake.lastText(), QString("Grid lines amount must be greater than 2."));
        QVERIFY(focusedAndSelected(d, d.gridField(2)));
        d.gridField(2)->setText("1001");
        d.applyButton()->click();
        QCOMPARE(fake.lastText(), QString("Grid lines amount must not be greater than 1000."));

        d.choosePage(AccuracyPage);
        d.accuracyField()->setText("inf");
        d.applyButton()->click();
        QCOMPARE(fake.lastText(), QString("Accuracy must be in range 1e-6 .. 1e-1"));
        QVERIFY(focusedAndSelected(d, d.accuracyField()));
    }

    void applyStoresAPageAndOkKeepsOnlyWhatWasApplied() {
        ui::FakeUiServices fake;
        model::Model m;
        testing::addShape(m, "first");
        testing::addShape(m, "second");
        whenShown<RenderingPropertiesDialog>([](RenderingPropertiesDialog& d) {
            QCOMPARE(d.stack()->currentIndex(), int(GridsPage));
            QCOMPARE(d.objects()->currentText(), QString("first"));
            d.gridField(0)->setText("30");
            d.applyButton()->click();
            d.gridField(0)->setText("40"); // not applied
            d.chooseObject(1);
            QCOMPARE(d.gridField(0)->text(), QString("25"));
            d.gridField(1)->setText("50"); // not applied, and another object chosen
            d.chooseObject(0);
            QCOMPARE(d.gridField(0)->text(), QString("30"));
            d.chooseObject(1);
            clickOk(d);
        });
        QVERIFY(runRenderingProperties(nullptr, fake, m, GridsPage));
        QCOMPARE(m.object(0).grid, (std::array<int, 3>{30, 25, 25}));
        QCOMPARE(m.object(1).grid, (std::array<int, 3>{25, 25, 25}));
        QCOMPARE(m.currentObject(), &m.object(1));

        whenShown<RenderingPropertiesDialog>([](RenderingPropertiesDialog& d) {
            d.gridField(0)->setText("99");
            d.applyButton()->click();
            d.reject();
        });
        QVERIFY(!runRenderingProperties(nullptr, fake, m, GridsPage));
        QCOMPARE(m.object(0).grid[0], 30); // Cancel drops even applied pages
        QCOMPARE(m.object(1).grid[0], 25);

        model::Model empty;
        QVERIFY(!runRenderingProperties(nullptr, fake, empty, GridsPage));
    }

    void colourPagesShareTheAlsoFlag() {
        ui::FakeUiServices fake;
        model::Model m;
        testing::addShape(m, "ball");
        RenderingPropertiesDialog d(fake, m, PolyColourPage);
        d.show();
        QCOMPARE(d.alsoOther()->text(), QString("Apply for raytracing, also"));
        QVERIFY(d.alsoOther()->isChecked());
        fake.colors.push_back(QColor(200, 0, 0));
        buttonNamed(d, "Select")->click();
        QCOMPARE(d.swatch()->colour(), (model::Rgb{200, 0, 0}));
        QCOMPARE(d.session().selectedCopy().polyColour, (model::Rgb{0, 255, 0})); // not yet
        d.alsoOther()->click();
        d.applyButton()->click();
        QCOMPARE(d.session().selectedCopy().polyColour, (model::Rgb{200, 0, 0}));
        QCOMPARE(d.session().selectedCopy().rayColour, (model::Rgb{0, 255, 0}));
        d.choosePage(RayColourPage);
        QCOMPARE(d.alsoOther()->text(), QString("Apply for polygonization, also"));
        QVERIFY(!d.alsoOther()->isChecked());
        QCOMPARE(d.swatch()->colour(), (model::Rgb{0, 255, 0}));
        d.alsoOther()->click();
        fake.colors.push_back(QColor(0, 0, 9));
        d.selectColour();
        d.applyButton()->click();
        QCOMPARE(d.session().selectedCopy().polyColour, (model::Rgb{0, 0, 9}));
        d.choosePage(PolyColourPage);
        QVERIFY(d.alsoOther()->isChecked());
    }

    void cameraChecksFocusAndViewAll() {
        ui::FakeUiServices fake;
        model::Model m;
        testing::addShape(m, "ball");
        CameraDialog d(fake, m);
        d.show();
        QCOMPARE(d.windowTitle(), QString("Camera properties"));
        QCOMPARE(d.field(7)->text(), QString("1.0"));
        QCOMPARE(d.field(0)->accessibleName(), QString("Position: X :="));
        const char* closeCamera[9] = {"0", "0", "0.5", "0", "0", "0", "0", "1", "0"};
        for (int i = 0; i < 9; ++i) d.field(i)->setText(closeCamera[i]);
        clickOk(d);
        QCOMPARE(fake.lastText(), QString("Distance between Look At Point and Camera Position "
                                          "must be in range: 1.000 .. 100.000"));
        QCOMPARE(fake.shown.back().icon, ui::MsgIcon::Error);
        QVERIFY(focusedAndSelected(d, d.field(0)));
        d.field(2)->setText("10");
        d.field(7)->setText("0");
        d.field(8)->setText("1");
        clickOk(d);
        QCOMPARE(fake.lastText(),
                 QString("The vectors camera direction and sky are not allowed to be collinear"));
        QVERIFY(focusedAndSelected(d, d.field(6)));
        d.field(4)->setText("-inf");
        clickOk(d);
        QCOMPARE(fake.lastText(), QString(kNotFiniteMessage));
        QVERIFY(focusedAndSelected(d, d.field(4)));

        // View All puts the look-at point at the box centre and picks a direction off the sky.
        buttonNamed(d, "View All")->click();
        QCOMPARE(d.field(3)->text(), QString("0.0"));
        QCOMPARE(d.field(4)->text(), QString("0.0"));
        const std::size_t before = fake.shown.size();
        clickOk(d);
        QCOMPARE(fake.shown.size(), before);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(d.settings().sky.z, 1.0f);
        QVERIFY(d.settings().cameraPosition.x > 1.0f);

        whenShown<CameraDialog>([](CameraDialog& d) {
            d.field(0)->setText("0");
            d.field(1)->setText("0");
            d.field(2)->setText("100");
            clickOk(d);
        });
        QVERIFY(runCamera(nullptr, fake, m));
        QCOMPARE(m.settings.cameraPosition.z, 100.0f);
        QCOMPARE(m.settings.cameraPosition.x, 0.0f);
    }

    void commaLocaleFields() {
        testing::CommaLocale comma;
        if (!comma.ok()) QSKIP("no comma locale could be made");
        ui::FakeUiServices fake;
        model::BoundingBox box;
        ModelSpaceDialog d(fake, box);
        QCOMPARE(d.field(0)->text(), QString("-10,0"));
        d.field(0)->setText("1.5");
        d.field(1)->setText("2,5");
        clickOk(d);
        QCOMPARE(d.box().xmin, 1.5f);
        QCOMPARE(d.box().xmax, 2.5f);
    }
};

QTEST_MAIN(SettingsDialogsTest)
#include "settings_dialogs_test.moc"
