// The settings dialogs' rules without widgets: what each loads, accepts, refuses and stores.
#include "dialogs/settings_camera.h"
#include "dialogs/settings_object_properties.h"
#include "dialogs/settings_rules.h"
#include "lang/settings.h"
#include "tests/dialogs/settings_test_support.h"

#include <QtTest>
#include <cmath>

using namespace lv::dialogs;
namespace model = lv::model;
namespace lang = lv::lang;

namespace {

const char* const kNonFinite[] = {"inf", "-inf", "nan", "1e39", "-1e39"};

std::array<std::string, 9> camera(std::array<double, 9> v) {
    std::array<std::string, 9> t;
    for (std::size_t i = 0; i < 9; ++i) t[i] = std::to_string(v[i]);
    return t;
}

} // namespace

class SettingsRulesTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() {
        lang::setEps(lang::kDefaultEps);
        lang::setAlpha(lang::kDefaultAlpha);
    }

    void modelSpaceShowsSevenDigitsAndAcceptsFromAboveTo() {
        model::BoundingBox box;
        box.ymax = 1.0f / 3.0f;
        const auto texts = modelSpaceTexts(box);
        QCOMPARE(texts[0], std::string("-10.0"));
        QCOMPARE(texts[3], std::string("0.3333333"));
        QVERIFY(!storeModelSpace({"5", "-5", "junk", "2.5x", "0", "0"}, box));
        QCOMPARE(box.xmin, 5.0f);
        QCOMPARE(box.xmax, -5.0f);
        QCOMPARE(box.ymin, 0.0f); // a non-number reads as 0
        QCOMPARE(box.ymax, 2.5f);
    }

    void nonFiniteValuesAreRefusedEverywhereAndNothingIsStored() {
        model::Model m;
        addShapeForTest(m);
        for (const char* bad : kNonFinite) {
            model::BoundingBox box;
            auto r = storeModelSpace({"1", "2", "3", "4", bad, "6"}, box);
            QVERIFY(r);
            QCOMPARE(r->text, std::string(kNotFiniteMessage));
            QCOMPARE(r->field, 4);
            QCOMPARE(box.xmin, -10.0f);

            std::array<float, 3> t{1, 2, 3};
            r = storeTimeVariables({"0", bad, "0"}, t);
            QVERIFY(r);
            QCOMPARE(r->field, 1);
            QCOMPARE(t[0], 1.0f);

            QVERIFY(storeEpsAlpha(bad, "0"));
            QVERIFY(storeEpsAlpha("0.5", bad));
            QCOMPARE(lang::eps(), lang::kDefaultEps);

            model::ModelSettings s;
            auto c = camera({0, 0, 10, 0, 0, 0, 0, 1, 0});
            c[7] = bad;
            r = storeCamera(c, s);
            QVERIFY(r);
            QCOMPARE(r->text, std::string(kNotFiniteMessage));
            QCOMPARE(r->field, 7);
            QCOMPARE(s.sky.y, 1.0f);

            RenderingPropertiesSession session(m, BoxPage);
            PropertyFields f = session.load();
            f.custom = true;
            f.box[5] = bad;
            r = session.apply(f);
            QVERIFY(r);
            QCOMPARE(r->field, 5);
            session.setPage(MaxGradientPage);
            f = session.load();
            f.autoGradient = false;
            f.maxGradient = bad;
            QVERIFY(session.apply(f));
            session.setPage(AccuracyPage);
            f.accuracy = bad;
            QVERIFY(session.apply(f));
            session.finish(m);
            QCOMPARE(m.object(0).customBox, 0);
            QCOMPARE(m.object(0).autoMaxGradient, 1);
            QCOMPARE(m.object(0).accuracy, 0.001f);
        }
    }

    void timeVariablesGuardEnablingAndStrictReading() {
        auto guard = timeVariablesGuard({});
        QVERIFY(guard);
        QCOMPARE(guard->text, std::string("Lumovar expects you to define one of parameters for "
                                             "objects as having T1, T2 or T3 type, at first"));
        QCOMPARE(guard->icon, NoticeIcon::Information);
        QVERIFY(!timeVariablesGuard({false, true, false}));
        QCOMPARE(timeVariableEnabled({false, true, false}),
                 (std::array<bool, 3>{false, true, false}));

        std::array<float, 3> t{};
        auto r = storeTimeVariables({"1", "2.5x", "3"}, t);
        QVERIFY(r);
        QCOMPARE(r->text, std::string("Please enter a number."));
        QCOMPARE(r->field, 1);
        QVERIFY(!storeTimeVariables({" 1 ", "-2.5", "3e1"}, t));
        QCOMPARE(t, (std::array<float, 3>{1.0f, -2.5f, 30.0f}));
    }

    void imageSizeBoundsMessagesAndBranchChoice() {
        model::ModelSettings s;
        QCOMPARE(imageSizeCaption(SettingsTarget::Polygonization),
                 std::string("Polygonized image size"));
        QCOMPARE(imageSizeCaption(SettingsTarget::Raytracing), std::string("Raytraced image size"));
        QVERIFY(!storeImageSize("20", "15", SettingsTarget::Polygonization, s));
        QCOMPARE(s.polyImage.width, 20);
        QVERIFY(!storeImageSize("1600", "1200", SettingsTarget::Polygonization, s));
        QCOMPARE(s.polyImage.height, 1200);
        const struct {
            const char *h, *v;
            const char* message;
            int field;
        } refused[] = {
            {"19", "15", "Horizontal must be in range 20 .. 1600.", 0},
            {"1601", "15", "Horizontal must be in range 20 .. 1600.", 0},
            {"abc", "15", "Horizontal must be in range 20 .. 1600.", 0},
            {"99999999999999999999", "15", "Horizontal must be in range 20 .. 1600.", 0},
            {"20", "14", "Vertical must be in range 15 .. 1200.", 1},
            {"20", "1201", "Vertical must be in range 15 .. 1200.", 1},
        };
        for (const auto& c : refused) {
            auto r = storeImageSize(c.h, c.v, SettingsTarget::Both, s);
            QVERIFY(r);
            QCOMPARE(r->text, std::string(c.message));
            QCOMPARE(r->field, c.field);
            QCOMPARE(r->icon, NoticeIcon::Error);
        }
        QCOMPARE(s.rayImage.width, 160); // nothing stored by the refusals

        // Opened from the ray-tracing menu, stored for the polygonization window only.
        s = {};
        s.rayImage = {300, 200};
        QCOMPARE(imageSizeOf(s, SettingsTarget::Raytracing).width, 300);
        QVERIFY(!storeImageSize("400", "300", SettingsTarget::Polygonization, s));
        QCOMPARE(s.polyImage.width, 400);
        QCOMPARE(s.rayImage.width, 300);
        QVERIFY(!storeImageSize("50", "40", SettingsTarget::Both, s));
        QCOMPARE(s.polyImage.height, 40);
        QCOMPARE(s.rayImage.height, 40);
    }

    void backgroundBranchChoiceAndQualityMapping() {
        model::ModelSettings s;
        s.rayBackground = {1, 2, 3};
        QCOMPARE(backgroundOf(s, SettingsTarget::Raytracing), (model::Rgb{1, 2, 3}));
        QCOMPARE(backgroundOf(s, SettingsTarget::Polygonization), (model::Rgb{255, 255, 255}));
        storeBackground({9, 8, 7}, SettingsTarget::Raytracing, s);
        QCOMPARE(s.polyBackground, (model::Rgb{255, 255, 255}));
        storeBackground({4, 5, 6}, SettingsTarget::Both, s);
        QCOMPARE(s.rayBackground, (model::Rgb{4, 5, 6}));
        QCOMPARE(s.polyBackground, (model::Rgb{4, 5, 6}));

        s.surfaceKind = 7;
        s.flatShading = 5;
        QualityChoice q = qualityOf(s);
        QCOMPARE(q.surfaceKind, 0);
        QVERIFY(q.flat);
        s.surfaceKind = 1;
        s.flatShading = 0;
        QCOMPARE(qualityOf(s).surfaceKind, 1);
        QVERIFY(!qualityOf(s).flat);
        storeQuality({2, false, false, true, true}, s);
        QCOMPARE(s.flatShading, 0);
        QCOMPARE(s.lightingOn, 0);
        QCOMPARE(s.ditheringOn, 1);
        QCOMPARE(s.antialiasingOn, 1);
    }

    void epsAndAlphaAreStoredTogetherOrNotAtAll() {
        QCOMPARE(epsAlphaTexts(1e-6f, 0.0f), (std::array<std::string, 2>{"1e-06", "0.0"}));
        QCOMPARE(epsAlphaQuestion("0.001", "1"),
                 std::string("Are the values below correct:\nEPS = 0.001;\nALPHA = 1.0?"));
        QCOMPARE(epsAlphaQuestion("0.1x", "abc"),
                 std::string("Are the values below correct:\nEPS = 0.1;\nALPHA = 0.0?"));

        auto r = storeEpsAlpha("1", "0");
        QVERIFY(r);
        QCOMPARE(r->text, std::string("Range error: EPS must be between (0.0 .. +1.0)"));
        QCOMPARE(r->field, 0);
        QVERIFY(storeEpsAlpha("0", "0"));
        QVERIFY(storeEpsAlpha("1e-50", "0")); // rounds to a float 0
        // A good EPS with a refused ALPHA keeps the old EPS.
        r = storeEpsAlpha("0.5", "1.0001");
        QVERIFY(r);
        QCOMPARE(r->text, std::string("Range error: ALPHA must be in [-1.0 .. +1.0]"));
        QCOMPARE(r->field, 1);
        QCOMPARE(lang::eps(), lang::kDefaultEps);
        QVERIFY(!storeEpsAlpha("0.5", "1"));
        QCOMPARE(lang::eps(), 0.5f);
        QCOMPARE(lang::alpha(), 1.0f);
        QVERIFY(!storeEpsAlpha("0.25", "-1"));
        QCOMPARE(lang::alpha(), -1.0f);
    }

    void cameraDistanceAndSkyChecks() {
        QCOMPARE(cameraDistanceMessage(),
                 std::string("Distance between Look At Point and Camera Position must be in "
                             "range: 1.000 .. 100.000"));
        model::ModelSettings s;
        QCOMPARE(cameraTexts(s)[0], std::string("10.0"));
        QVERIFY(!storeCamera(camera({0, 0, 10, 0, 0, 0, 0, 1, 0}), s));
        QCOMPARE(s.cameraPosition.z, 10.0f);
        QVERIFY(!storeCamera(camera({0, 0, 100, 0, 0, 0, 0, 1, 0}), s));
        QVERIFY(!storeCamera(camera({0, 0, 1, 0, 0, 0, 0, 1, 0}), s));
        QVERIFY(!storeCamera(camera({0, 0, 10, 0, 0, 0, 0, 0.2, 1}), s)); // |k| about 0.981
        QCOMPARE(s.sky.z, 1.0f);

        const struct {
            std::array<double, 9> v;
            int field;
            bool distance;
        } refused[] = {
            {{0, 0, 0.5, 0, 0, 0, 0, 1, 0}, kPositionXField, true},
            {{0, 0, 100.01, 0, 0, 0, 0, 1, 0}, kPositionXField, true},
            {{5, 5, 5, 5, 5, 5, 0, 1, 0}, kPositionXField, true},
            {{0, 0, 10, 0, 0, 0, 0, 0, 1}, kSkyXField, false},
            {{0, 0, 10, 0, 0, 0, 0, 0, -3}, kSkyXField, false},
            {{0, 0, 10, 0, 0, 0, 0, 0, 0}, kSkyXField, false},
        };
        for (const auto& c : refused) {
            model::ModelSettings before;
            auto r = storeCamera(camera(c.v), before);
            QVERIFY(r);
            QCOMPARE(r->text, c.distance ? cameraDistanceMessage()
                                            : std::string(kCollinearSkyMessage));
            QCOMPARE(r->field, c.field);
            QCOMPARE(before.cameraPosition.x, 10.0f);
        }
    }

    void viewAllFramesTheObjectsWithinTheLimits() {
        model::Model m;
        model::ModelSettings s;
        // No objects: the default box, centred at the origin; the camera keeps its side.
        auto texts = viewAllTexts(m, cameraTexts(s));
        QCOMPARE(texts[3], std::string("0.0"));
        QVERIFY(!storeCamera(texts, s));
        QVERIFY(s.cameraPosition.x > 0 && s.cameraPosition.x == s.cameraPosition.z);
        const double d = std::sqrt(3.0) * s.cameraPosition.x;
        // The default box's half diagonal fits into the smaller half angle of 160 x 120.
        QVERIFY(std::fabs(d - std::sqrt(300.0) / std::sin(std::atan(0.375))) < 1e-3);

        // A moved and scaled object: the centre follows it.
        model::ModelObject& o = addShapeForTest(m);
        o.customBox = 1;
        o.ownBox = {-1, -1, -1, 1, 1, 1};
        o.transform.translate = {20, 0, 0};
        texts = viewAllTexts(m, camera({0, 0, 10, 0, 0, 0, 0, 0, 1})); // collinear now
        QCOMPARE(texts[3], std::string("20.0"));
        QCOMPARE(texts[4], std::string("0.0"));
        QVERIFY(!storeCamera(texts, s));
        QCOMPARE(s.sky.z, 1.0f);

        // Far too large to frame: the largest distance, still accepted.
        o.transform.scale = {1000, 1000, 1000};
        texts = viewAllTexts(m, cameraTexts(s));
        QVERIFY(!storeCamera(texts, s));
        // Tiny: the smallest distance.
        o.transform.scale = {0.001f, 0.001f, 0.001f};
        QVERIFY(!storeCamera(viewAllTexts(m, cameraTexts(s)), s));
    }

    void propertiesListSortsNamesAndStartsOnTheCurrentObject() {
        model::Model m;
        addShapeForTest(m, "beta");
        model::ModelObject& alpha = addShapeForTest(m, "Alpha");
        addShapeForTest(m, "gamma");
        m.setCurrentObject(&alpha);
        RenderingPropertiesSession s(m, GridsPage);
        QCOMPARE(s.names(), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
        QCOMPARE(s.selectedEntry(), 0);
        QCOMPARE(s.page(), int(GridsPage));
        m.setCurrentObject(nullptr);
        QCOMPARE(RenderingPropertiesSession(m, 0).selectedCopy().name, std::string("beta"));
    }

    void boxPageDefaultCustomAndValidation() {
        model::Model m;
        m.settings.defaultBox = {-1, -2, -3, 1, 2, 3};
        model::ModelObject& o = addShapeForTest(m);
        o.ownBox = {0, 0, 0, 5, 5, 5};
        RenderingPropertiesSession s(m, BoxPage);
        PropertyFields f = s.load();
        QVERIFY(!f.custom);
        QCOMPARE(f.box[1], std::string("-2.0")); // the model's box while Default
        QCOMPARE(s.defaultBoxTexts()[5], std::string("3.0"));

        f.custom = true;
        f.box = {"1", "1", "1", "1", "0", "1"}; // Xmin = Xmax is fine, Ymin > Ymax is not
        auto r = s.apply(f);
        QVERIFY(r);
        QCOMPARE(r->text, std::string("Incorrect bounding box.\nPlease modify your inputs."));
        QCOMPARE(r->icon, NoticeIcon::Error);
        QCOMPARE(s.selectedCopy().customBox, 0);
        f.box = {"1", "1", "1", "1", "2", "1"};
        QVERIFY(!s.apply(f));
        QCOMPARE(s.selectedCopy().customBox, 1);
        QCOMPARE(s.selectedCopy().ownBox.ymax, 2.0f);
        f = s.load();
        QVERIFY(f.custom);
        QCOMPARE(f.box[4], std::string("2.0")); // the object's own box while Custom
    }

    void gridAccuracyAndGradientBounds() {
        model::Model m;
        addShapeForTest(m);
        RenderingPropertiesSession s(m, GridsPage);
        PropertyFields f = s.load();
        QCOMPARE(f.grid[0], std::string("25"));
        f.grid = {"2", "2", "2"};
        QVERIFY(!s.apply(f));
        f.grid = {"1000", "3", "1000"};
        QVERIFY(!s.apply(f));
        for (const auto& bad : {std::array<std::string, 3>{"1", "5", "5"},
                                std::array<std::string, 3>{"5", "x", "5"},
                                std::array<std::string, 3>{"5", "5", "1001"},
                                std::array<std::string, 3>{"5", "5", "99999999999999999999"}}) {
            f.grid = bad;
            auto r = s.apply(f);
            QVERIFY(r);
            QCOMPARE(r->field, bad[0] == "1" ? 0 : bad[1] == "x" ? 1 : 2);
            QCOMPARE(r->text, std::string(bad[2] == "5" ? kGridTooSmallMessage
                                                           : kGridTooLargeMessage));
        }
        QCOMPARE(s.selectedCopy().grid, (std::array<int, 3>{1000, 3, 1000}));

        s.setPage(AccuracyPage);
        f = s.load();
        QCOMPARE(f.accuracy, std::string("0.001"));
        for (const char* good : {"1e-6", "0.1"}) {
            f.accuracy = good;
            QVERIFY(!s.apply(f));
        }
        for (const char* bad : {"0.10001", "9e-7", "abc"}) {
            f.accuracy = bad;
            auto r = s.apply(f);
            QVERIFY(r);
            QCOMPARE(r->text, std::string("Accuracy must be in range 1e-6 .. 1e-1"));
        }
        QCOMPARE(s.selectedCopy().accuracy, 0.1f);

        s.setPage(MaxGradientPage);
        f = s.load();
        QVERIFY(f.autoGradient);
        f.autoGradient = false;
        f.maxGradient = "0.09";
        auto r = s.apply(f);
        QVERIFY(r);
        QCOMPARE(r->text, std::string("Max Gradient must be not less than 0.1"));
        QCOMPARE(s.selectedCopy().autoMaxGradient, 1);
        f.maxGradient = "0.1";
        QVERIFY(!s.apply(f));
        QCOMPARE(s.selectedCopy().autoMaxGradient, 0);
        QCOMPARE(s.selectedCopy().maxGradient, 0.1f);
        f.autoGradient = true;
        f.maxGradient = "junk"; // not read while automatic
        QVERIFY(!s.apply(f));
        QCOMPARE(s.selectedCopy().autoMaxGradient, 1);
        QCOMPARE(s.selectedCopy().maxGradient, 0.1f);
    }

    void colourPagesShareTheAlsoChoice() {
        model::Model m;
        addShapeForTest(m);
        RenderingPropertiesSession s(m, PolyColourPage);
        PropertyFields f = s.load();
        QVERIFY(f.alsoOther); // initially set
        f.colour = {10, 20, 30};
        QVERIFY(!s.apply(f));
        QCOMPARE(s.selectedCopy().rayColour, (model::Rgb{10, 20, 30}));
        f.colour = {1, 1, 1};
        f.alsoOther = false;
        QVERIFY(!s.apply(f));
        QCOMPARE(s.selectedCopy().polyColour, (model::Rgb{1, 1, 1}));
        QCOMPARE(s.selectedCopy().rayColour, (model::Rgb{10, 20, 30}));
        s.setPage(RayColourPage);
        f = s.load();
        QVERIFY(!f.alsoOther); // remembered across the two colour pages
        QCOMPARE(f.colour, (model::Rgb{10, 20, 30}));
    }

    void onlyAppliedPagesReachTheModel() {
        model::Model m;
        addShapeForTest(m, "a");
        addShapeForTest(m, "b");
        RenderingPropertiesSession s(m, GridsPage);
        PropertyFields f = s.load();
        f.grid = {"3", "3", "3"};
        // Edited but switched away from without Apply: dropped.
        s.selectEntry(1);
        f = s.load();
        f.grid = {"4", "4", "4"};
        QVERIFY(!s.apply(f));
        s.finish(m);
        QCOMPARE(m.count(), 2);
        QCOMPARE(m.object(0).name, std::string("a"));
        QCOMPARE(m.object(0).grid[0], 25);
        QCOMPARE(m.object(1).grid[0], 4);
        QCOMPARE(m.currentObject(), &m.object(1));
    }

    void commaLocaleReadsBothSeparators() {
        testing::CommaLocale comma;
        if (!comma.ok()) QSKIP("no comma locale could be made");
        model::BoundingBox box;
        QCOMPARE(modelSpaceTexts(box)[0], std::string("-10,0"));
        QVERIFY(!storeModelSpace({"1,5", "2.5", "0", "0", "0", "0"}, box));
        QCOMPARE(box.xmin, 1.5f);
        QCOMPARE(box.xmax, 2.5f);
        std::array<float, 3> t{};
        QVERIFY(!storeTimeVariables({"0,25", "0.75", "1"}, t));
        QCOMPARE(t[1], 0.75f);
        QVERIFY(!storeEpsAlpha("0,5", "0.5"));
        QCOMPARE(lang::eps(), 0.5f);
        QCOMPARE(epsAlphaQuestion("0,5", "0.25"),
                 std::string("Are the values below correct:\nEPS = 0,5;\nALPHA = 0,25?"));
    }

private:
    static model::ModelObject& addShapeForTest(model::Model& m, const std::string& name = "ball") {
        return testing::addShape(m, name);
    }
};

QTEST_GUILESS_MAIN(SettingsRulesTest)
#include "settings_rules_test.moc"
