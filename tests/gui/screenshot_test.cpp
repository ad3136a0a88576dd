// A picture of the main window on a real X server: two source documents tiled, one of them an
// example program in colour. The picture is kept in the build folder and must not be blank.
#include <QDir>
#include <QImage>
#include <QMdiArea>
#include <QScreen>
#include <QSet>
#include <QtTest>

#include "app/reference_window.h"
#include "app/source_document.h"
#include "tests/gui/gui_test_util.h"

using lv::test::GuiFixture;

class ScreenshotTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { lv::test::useTestSettings("screenshot_tests"); }

    void twoTiledDocumentsOneHighlighted() {
        GuiFixture f;
        f.window->resize(1000, 700);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        auto* example = f.window->openFile(QStringLiteral(LV_SOURCE_DIR "/examples/csg_part.lv"));
        QVERIFY(example);
        auto* notes = f.window->newDocument();
        notes->setPlainText("-- notes: a second document\nball(x[3], a[1]) {\n"
                            "  ball = a[1] - lvsphere(x, c, 2);\n}\n");
        f.window->mdiArea()->tileSubWindows();
        f.window->mdiArea()->setActiveSubWindow(f.window->mdiArea()->subWindowList().first());
        QTest::qWait(300);

        QImage shot = f.window->screen()->grabWindow(f.window->winId()).toImage();
        QVERIFY(!shot.isNull());
        QString folder = QStringLiteral(LV_BINARY_DIR "/screenshots");
        QDir().mkpath(folder);
        QString path = folder + "/main_window.png";
        QVERIFY(shot.save(path));
        qInfo("screenshot: %s", qPrintable(path));

        // Not blank: many colours, and the colours of reserved words and built-in names.
        QSet<QRgb> colours;
        int reserved = 0, builtin = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                QColor c = shot.pixelColor(x, y);
                colours.insert(c.rgb());
                if (c.blue() > 120 && c.red() < 60 && c.green() < 60) ++reserved;
                if (c.red() > 90 && c.blue() > 90 && c.green() < 50) ++builtin;
            }
        QVERIFY2(colours.size() > 50, qPrintable(QString::number(colours.size())));
        QVERIFY2(reserved > 20, qPrintable(QString::number(reserved)));
        QVERIFY2(builtin > 20, qPrintable(QString::number(builtin)));

        // The reference window beside it, for the record.
        f.window->execute(lv::app::kCmdViewBuiltins);
        auto* ref = static_cast<QWidget*>(f.window->referenceWindow());
        QVERIFY(QTest::qWaitForWindowExposed(ref));
        QTest::qWait(100);
        QVERIFY(ref->grab().save(folder + "/reference_window.png"));
    }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
