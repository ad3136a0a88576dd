// Settings changed in the dialogs reach the next headless render of the model.
#include "dialogs/settings_commands.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/settings_properties_dialog.h"
#include "render/gl_context.h"
#include "render/render_job.h"
#include "tests/dialogs/settings_test_support.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace lv::dialogs;
namespace model = lv::model;
namespace render = lv::render;
namespace ui = lv::ui;

namespace {

using lv::dialogs::testing::clickOk;
using lv::dialogs::testing::whenShown;

// The model rendered as the single frame; rows top first, RGBA.
std::vector<std::uint8_t> renderPicture(const model::Model& m, int& width, int& height) {
    render::RenderJob job(0, 0.0, 0.0, 0.0, true);
    if (!job.setModel(m)) return {};
    job.createWindow();
    job.render();
    auto dib = job.captureImage();
    if (!dib) return {};
    width = dib->width();
    height = dib->height();
    return dib->toRgba();
}

} // namespace

class SettingsRenderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dialogSettingsReachTheNextRender() {
        std::string error;
        if (!render::headlessGlAvailable(error)) QSKIP(error.c_str());
        ui::FakeUiServices fake;
        model::Model m;
        testing::addShape(m, "ball").grid = {8, 8, 8};

        whenShown<BackgroundColorDialog>([&fake](BackgroundColorDialog& d) {
            fake.colors.push_back(QColor(20, 40, 200));
            d.selectColour();
            clickOk(d);
        });
        QVERIFY(runBackgroundColor(nullptr, fake, m, SettingsTarget::Polygonization));
        whenShown<ImageSizeDialog>([](ImageSizeDialog& d) {
            d.field(0)->setText("64");
            d.field(1)->setText("48");
            clickOk(d);
        });
        QVERIFY(runImageSize(nullptr, fake, m, SettingsTarget::Polygonization));
        whenShown<RenderingPropertiesDialog>([&fake](RenderingPropertiesDialog& d) {
            fake.colors.push_back(QColor(255, 0, 0));
            d.selectColour();
            d.applyButton()->click();
            clickOk(d);
        });
        QVERIFY(runRenderingProperties(nullptr, fake, m, PolyColourPage));
        whenShown<CameraDialog>([](CameraDialog& d) {
            for (int i = 0; i < 9; ++i) d.field(i)->setText(i == 2 ? "20" : i == 7 ? "1" : "0");
            clickOk(d);
        });
        QVERIFY(runCamera(nullptr, fake, m));

        int w = 0, h = 0;
        std::vector<std::uint8_t> rgba = renderPicture(m, w, h);
        QCOMPARE(w, 64);
        QCOMPARE(h, 48);
        auto pixel = [&](int x, int y) {
            return &rgba[(static_cast<std::size_t>(y) * 64 + x) * 4];
        };
        // The corner shows the chosen background, the centre the red ball seen head on.
        QCOMPARE(int(pixel(1, 1)[0]), 20);
        QCOMPARE(int(pixel(1, 1)[1]), 40);
        QCOMPARE(int(pixel(1, 1)[2]), 200);
        QVERIFY(pixel(32, 24)[0] > 40);
        QCOMPARE(int(pixel(32, 24)[1]), 0);
        QCOMPARE(int(pixel(32, 24)[2]), 0);

        // From far away the ball covers less of the picture.
        auto covered = [&](const std::vector<std::uint8_t>& img) {
            int n = 0;
            for (std::size_t i = 0; i + 3 < img.size(); i += 4) n += img[i + 2] != 200;
            return n;
        };
        const int near = covered(rgba);
        whenShown<CameraDialog>([](CameraDialog& d) {
            d.field(2)->setText("80");
            clickOk(d);
        });
        QVERIFY(runCamera(nullptr, fake, m));
        const int far = covered(renderPicture(m, w, h));
        QVERIFY2(far > 0 && far * 4 < near, qPrintable(QString("%1 %2").arg(near).arg(far)));
    }
};

QTEST_MAIN(SettingsRenderTest)
#include "settings_render_test.moc"
