// The export dialog over real render jobs, a time curve and a film: which sources are offered
// when, the enabling of its controls, names and their extensions, the question before
// replacing files, the temporary film refused, and files that other programs read back.
#include "dialogs/export_dialog.h"

#include <QColor>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <QRegularExpression>

#include <array>
#include <cstdint>
#include <optional>
#include <fstream>
#include <sstream>

#include "dialogs/export_targets.h"
#include "lang/compiler.h"
#include "render/gl_context.h"

using namespace lv;
using dialogs::ExportDialog;

namespace {

// A ball of radius 5 (green) and one of radius T1 (red) beside it; T1 is 2 in a single frame.
model::Model twoBalls() {
    lang::ObjectList objects;
    std::vector<lang::CompileError> errors;
    lang::compileProgram("ball(x[3], a[1]) {\n array c[3];\n c = [0, 0, 0];\n"
                         " ball = lvsphere(x, c, a[1]);\n}\n",
                         objects, errors, {});
    model::Model m;
    m.settings.polyImage = {40, 30};
    m.settings.cameraPosition = {0, 0, 30};
    m.settings.timeDefaults = {2.0f, 0.0f, 0.0f};
    const float radius[2] = {5.0f, 2.0f};
    for (int i = 0; i < 2; ++i) {
        auto object = std::make_unique<model::ModelObject>(model::makeModelObject(
            i == 0 ? "big" : "small", lang::findObject(objects, "ball"), "/src/ball.lv"));
        object->grid = {12, 12, 12};
        model::setValue(object->aBindings, 0, radius[i]);
        if (i == 1) {
            object->aBindings.bindings[0].kind = model::T1;
            object->transform.translate = {7.0f, 0.0f, 0.0f};
            object->polyColour = {255, 0, 0};
        }
        m.appendObject(std::move(object));
    }
    return m;
}

std::string readAll(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A ray-traced picture of width x height: red on its left half, blue on its right.
exporter::PackedDib raytracedPicture(int width, int height) {
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool left = x < width / 2;
            rgba.insert(rgba.end(), {std::uint8_t(left ? 200 : 10), 20,
                                     std::uint8_t(left ? 30 : 220), 255});
        }
    return *exporter::PackedDib::fromPixels(width, height, rgba, exporter::RowOrder::TopDown,
                                            exporter::ChannelOrder::Rgba);
}

// The application's pieces, with a temporary film in dir.
struct App {
    model::Model model = twoBalls();
    std::unique_ptr<render::RenderJob> frame;
    render::TimeCurve curve;
    render::TempFilm film;
    std::optional<exporter::PackedDib> raytraced; // the latest ray-traced picture
    dialogs::AppExporter exporter{[this] { return frame.get(); }, curve, film,
                                  [this] { return raytraced ? &*raytraced : nullptr; }};

    explicit App(const QString& dir) {
        film.reserve(dir.toStdString());
        frame = std::make_unique<render::RenderJob>(0, 0, 0, 0, true);
    }
    void renderFrame() {
        frame->setModel(model);
        frame->createWindow();
        frame->render();
    }
    // Rows T1 = 1, 2, 3; rows 1 and 3 rendered.
    void renderAnimation() {
        curve.resetFrames(model);
        for (int k = 1; k <= 3; ++k) curve.appendRow(k, 0, 0);
        for (int k : {1, 3}) curve.prepareJob(*curve.rowAt(k))->render();
    }
    bool compileFilm() {
        std::string error;
        return film.compile(render::renderedFrames(curve), error);
    }
};

// The "Export Dialog" with its answers queued in ui.
struct Dialog {
    ui::FakeUiServices ui;
    ExportDialog dialog;
    explicit Dialog(App& app) : dialog(ui, app.exporter) {}
    void choose(int source) { dialog.sources()->setCurrentIndex(source); }
    void type(const QString& name) {
        dialog.fileName()->setFocus();
        dialog.fileName()->selectAll();
        QTest::keyClicks(dialog.fileName(), name);
    }
    bool exportAs(int source, const QString& name) {
        choose(source);
        type(name);
        return dialog.exportNow();
    }
};

// A small VRML 2 reader for what a mesh file holds: per Shape its diffuse colour, the x range
// of its points, its face count and whether every face index names a point.
struct VrmlShape {
    std::array<double, 3> colour{-1, -1, -1};
    double xmin = 1e30, xmax = -1e30;
    int faces = 0;
    bool indicesValid = true;
};

std::vector<VrmlShape> readVrml(const std::string& text) {
    std::vector<VrmlShape> shapes;
    if (!text.starts_with("#VRML V2.0 utf8")) return shapes;
    std::size_t at = 0;
    while ((at = text.find("Shape {", at)) != std::string::npos) {
        VrmlShape shape;
        const std::size_t next = text.find("Shape {", at + 1);
        const std::string body = text.substr(at, next == std::string::npos ? next : next - at);
        at += 7;
        std::istringstream colour(body.substr(body.find("diffuseColor") + 12));
        colour >> shape.colour[0] >> shape.colour[1] >> shape.colour[2];
        const std::size_t p = body.find("point [") + 7;
        std::string points = body.substr(p, body.find(']', p) - p);
        std::replace(points.begin(), points.end(), ',', ' ');
        std::istringstream ps(points);
        int count = 0;
        for (double x, y, z; ps >> x >> y >> z; ++count) {
            shape.xmin = std::min(shape.xmin, x);
            shape.xmax = std::max(shape.xmax, x);
        }
        const std::size_t f = body.find("coordIndex [") + 12;
        std::string indices = body.substr(f, body.find(']', f) - f);
        std::replace(indices.begin(), indices.end(), ',', ' ');
        std::istringstream is(indices);
        int inFace = 0;
        for (int v; is >> v;) {
            if (v == -1) {
                shape.indicesValid &= inFace >= 3;
                ++shape.faces;
                inFace = 0;
            } else {
                shape.indicesValid &= v >= 0 && v < count;
                ++inFace;
            }
        }
        shapes.push_back(shape);
    }
    return shapes;
}

bool glAvailable() {
    std::string error;
    return render::headlessGlAvailable(error);
}

} // namespace

class ExportDialogTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        QVERIFY(dir_.isValid());
        if (!glAvailable()) QSKIP("no headless OpenGL");
    }
    void namesAndFilters();
    void availabilityFollowsRenderAnimationAndFilm();
    void enablingAfterSourceChangeAndTyping();
    void browseUsesTitleFilterAndDefaultExtension();
    void imagesOpenInAnImageLibrary();
    void raytracedPictureReadsBackAsBitmapOrPng();
    void frameSeriesNamesEachRenderedRow();
    void filmCopyReadsBackInFfprobe();
    void modelMeshIsVrmlWithAColourPerObject();
    void existingFilesAreReplacedOnlyOnYes();
    void theTemporaryFilmIsNeverAnExportTarget();
    void failureIsReportedAndTheDialogStaysOpen();

private:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

void ExportDialogTest::namesAndFilters() {
    using dialogs::exportFileName;
    using dialogs::splitExportName;
    QCOMPARE(exportFileName("spin", dialogs::kExportFrameSeries), std::string("spin.bmp"));
    QCOMPARE(exportFileName("a.b/film", dialogs::kExportFilm), std::string("a.b/film.avi"));
    QCOMPARE(exportFileName("x.png", dialogs::kExportFrameImage), std::string("x.png"));
    QCOMPARE(exportFileName("x.gif", dialogs::kExportFrameImage), std::string("x.gif"));
    QCOMPARE(exportFileName("x.", dialogs::kExportFrameImage), std::string("x.bmp"));
    QCOMPARE(exportFileName("m", dialogs::kExportModelMesh), std::string("m.wrl"));
    QCOMPARE(splitExportName("dir.v2/a.tar.gz").base, std::string("dir.v2/a.tar"));
    QCOMPARE(splitExportName("dir.v2/a.tar.gz").extension, std::string("gz"));
    QCOMPARE(splitExportName(".hidden").base, std::string(""));
    QCOMPARE(splitExportName("/").base, std::string("/"));
    QCOMPARE(dialogs::exportFilter(0), std::string("Windows Bitmap (*.bmp)"));
    QCOMPARE(dialogs::exportFilter(2), std::string("VRML 2 (*.wrl)"));
    QCOMPARE(dialogs::exportFilter(4), std::string("Video for windows (*.avi)"));
}

void ExportDialogTest::availabilityFollowsRenderAnimationAndFilm() {
    App app(dir_.path());
    auto offered = [&] {
        QList<bool> on;
        const dialogs::ExportState s = app.exporter.state();
        for (int i = 0; i < dialogs::kExportSourceCount; ++i)
            on << dialogs::isSourceAvailable(i, s);
        return on;
    };
    QCOMPARE(offered(), (QList<bool>{false, false, false, false, false}));
    app.renderFrame();
    QCOMPARE(offered(), (QList<bool>{true, false, true, false, false}));
    app.renderAnimation();
    QCOMPARE(offered(), (QList<bool>{true, false, true, true, false}));
    QVERIFY(app.compileFilm());
    QCOMPARE(offered(), (QList<bool>{true, false, true, true, true}));
    // A film that could not be built is not offered.
    std::string error;
    QVERIFY(!app.film.compile([]() -> std::optional<exporter::PackedDib> { return {}; }, error));
    QCOMPARE(offered(), (QList<bool>{true, false, true, true, false}));
    app.frame.reset(); // no single-frame job at all
    QCOMPARE(offered(), (QList<bool>{false, false, false, true, false}));
    // A ray-traced picture is offered while one exists, whatever else was rendered.
    app.raytraced = raytracedPicture(8, 6);
    QCOMPARE(offered(), (QList<bool>{false, true, false, true, false}));
    app.raytraced.reset();
    QCOMPARE(offered(), (QList<bool>{false, false, false, true, false}));
}

void ExportDialogTest::enablingAfterSourceChangeAndTyping() {
    App app(dir_.path());
    app.renderFrame();
    Dialog d(app);
    ExportDialog& w = d.dialog;
    QCOMPARE(w.source(), -1);
    QCOMPARE(w.windowTitle(), QString("Export Dialog"));
    QVERIFY(!w.fileName()->isEnabled() && !w.browseButton()->isEnabled());
    QVERIFY(!w.exportButton()->isEnabled() && !w.fileLabel()->isEnabled());
    QVERIFY(w.closeButton()->isEnabled() && w.sources()->isEnabled());
    QVERIFY(w.exportButton()->isDefault());
    QCOMPARE(w.sources()->count(), 5);
    QCOMPARE(w.sources()->itemText(2), QString("Polygonized Model to VRML"));

    d.choose(0);
    QVERIFY(w.fileName()->isEnabled() && w.browseButton()->isEnabled());
    QVERIFY(!w.exportButton()->isEnabled()); // the name is empty
    d.type("pic");
    QVERIFY(w.exportButton()->isEnabled());
    QTest::keyClick(w.fileName(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w.fileName(), Qt::Key_Delete);
    QVERIFY(!w.exportButton()->isEnabled());
    d.type("pic");
    d.choose(1); // Raytraced Model Image: no ray-traced picture yet; the name is cleared
    QCOMPARE(w.source(), 1);
    QVERIFY(w.fileName()->text().isEmpty());
    QVERIFY(!w.fileName()->isEnabled() && !w.exportButton()->isEnabled());
    QVERIFY(!w.browseButton()->isEnabled());
    app.raytraced = raytracedPicture(8, 6); // the availability is read at the next choice
    d.choose(0);
    d.choose(1);
    QVERIFY(w.fileName()->isEnabled() && w.browseButton()->isEnabled());
    QVERIFY(!w.exportButton()->isEnabled()); // the name is empty
    d.type("ray");
    QVERIFY(w.exportButton()->isEnabled());
    app.raytraced.reset();
    d.choose(3); // no animation frame yet
    QVERIFY(!w.fileName()->isEnabled() && !w.browseButton()->isEnabled());
    d.choose(2);
    QVERIFY(w.fileName()->isEnabled());
    QCOMPARE(w.fileName()->accessibleName(), QString("Export file name:"));
    QCOMPARE(w.sources()->accessibleName(), QString("Select source to export:"));
}

void ExportDialogTest::browseUsesTitleFilterAndDefaultExtension() {
    App app(dir_.path());
    app.renderFrame();
    app.renderAnimation();
    QVERIFY(app.compileFilm());
    Dialog d(app);
    d.choose(4);
    d.ui.fileNames = {"/home/u/a.b/film", "/home/u/clip.mov", ""};
    d.dialog.browse();
    QCOMPARE(d.dialog.fileName()->text(), QString("/home/u/a.b/film.avi"));
    d.dialog.browse();
    QCOMPARE(d.dialog.fileName()->text(), QString("/home/u/clip.mov"));
    d.dialog.browse(); // cancelled: the field stays
    QCOMPARE(d.dialog.fileName()->text(), QString("/home/u/clip.mov"));
    QCOMPARE(d.ui.fileDialogTitles.front(), QString("Select file name to export to"));
    QCOMPARE(d.ui.fileDialogFilters.front(), QString("Video for windows (*.avi)"));
    d.choose(0);
    d.dialog.browse();
    QCOMPARE(d.ui.fileDialogFilters.back(), QString("Windows Bitmap (*.bmp)"));
    QVERIFY(d.dialog.exportButton()->isEnabled() == false); // cancelled browse, empty name
}

void ExportDialogTest::imagesOpenInAnImageLibrary() {
    App app(dir_.path());
    app.renderFrame();
    Dialog d(app);
    QVERIFY(d.exportAs(0, path("frame")));
    QCOMPARE(d.ui.lastText(), QString("Export successful"));
    QCOMPARE(d.ui.shown.back().icon, ui::MsgIcon::Information);
    QImage bmp(path("frame.bmp"), "BMP");
    QCOMPARE(bmp.size(), QSize(40, 30));
    QVERIFY(readAll(path("frame.bmp")).starts_with("BM"));

    QVERIFY(d.exportAs(0, path("frame.png")));
    QVERIFY(readAll(path("frame.png")).starts_with("\x89PNG"));
    QImage png(path("frame.png"), "PNG");
    QCOMPARE(png.size(), QSize(40, 30));
    QCOMPARE(png.pixel(20, 15), bmp.pixel(20, 15)); // the same picture
    QVERIFY(qGreen(png.pixel(20, 15)) > 60);          // the green ball in the middle

    // Another extension: still a bitmap, under that name.
    QVERIFY(d.exportAs(0, path("frame.gif")));
    QVERIFY(readAll(path("frame.gif")).starts_with("BM"));
    if (!QStandardPaths::findExecutable("identify").isEmpty()) {
        QProcess identify;
        identify.start("identify", {"-format", "%m %w %h", path("frame.png")});
        QVERIFY(identify.waitForFinished(10000));
        QCOMPARE(QString(identify.readAllStandardOutput()).trimmed(), QString("PNG 40 30"));
    }
}

void ExportDialogTest::raytracedPictureReadsBackAsBitmapOrPng() {
    App app(dir_.path());
    Dialog d(app);
    QVERIFY(!d.exportAs(1, path("ray"))); // no picture: nothing to export
    QVERIFY(!QFile::exists(path("ray.bmp")));
    app.raytraced = raytracedPicture(8, 6);
    d.ui.fileNames = {path("chosen")};
    d.choose(0); // the availability is read at the next choice
    d.choose(1);
    d.dialog.browse();
    QCOMPARE(d.ui.fileDialogFilters.back(), QString("Windows Bitmap (*.bmp)"));
    QCOMPARE(d.dialog.fileName()->text(), path("chosen.bmp"));

    QVERIFY(d.exportAs(1, path("ray"))); // no extension: a bitmap named .bmp
    QCOMPARE(d.ui.lastText(), QString("Export successful"));
    QCOMPARE(d.ui.shown.back().icon, ui::MsgIcon::Information);
    QVERIFY(readAll(path("ray.bmp")).starts_with("BM"));
    QImage bmp(path("ray.bmp"), "BMP");
    QCOMPARE(bmp.size(), QSize(8, 6));
    QCOMPARE(QColor(bmp.pixel(1, 0)), QColor(200, 20, 30)); // left half, top row
    QCOMPARE(QColor(bmp.pixel(6, 5)), QColor(10, 20, 220)); // right half, bottom row

    QVERIFY(d.exportAs(1, path("ray.png")));
    QVERIFY(readAll(path("ray.png")).starts_with("\x89PNG"));
    QImage png(path("ray.png"), "PNG");
    QCOMPARE(png.size(), QSize(8, 6));
    QCOMPARE(png.pixel(1, 0), bmp.pixel(1, 0));
    QCOMPARE(png.pixel(6, 5), bmp.pixel(6, 5));

    // An existing file is replaced only on Yes; another extension still writes a bitmap.
    d.ui.answers = {ui::MsgResult::No};
    QVERIFY(!d.exportAs(1, path("ray.png")));
    QVERIFY(d.exportAs(1, path("ray.gif")));
    QVERIFY(readAll(path("ray.gif")).starts_with("BM"));
    QVERIFY(!d.exportAs(1, path("no/such/folder/ray")));
    QCOMPARE(d.ui.lastText(), QString("Export failed"));
    QCOMPARE(d.ui.shown.back().icon, ui::MsgIcon::Error);
}

void ExportDialogTest::frameSeriesNamesEachRenderedRow() {
    App app(dir_.path());
    app.renderAnimation();
    Dialog d(app);
    QVERIFY(d.exportAs(3, path("spin")));
    QVERIFY(QImage(path("spin1.bmp"), "BMP").size() == QSize(40, 30));
    QVERIFY(!QFile::exists(path("spin2.bmp")));
    QVERIFY(QFile::exists(path("spin3.bmp")));
    // PNG series by extension.
    QVERIFY(d.exportAs(3, path("spin.png")));
    QVERIFY(readAll(path("spin3.png")).starts_with("\x89PNG"));
    QCOMPARE(QImage(path("spin3.png"), "PNG").size(), QSize(40, 30));
}

void ExportDialogTest::filmCopyReadsBackInFfprobe() {
    App app(dir_.path());
    app.renderAnimation();
    QVERIFY(app.compileFilm());
    Dialog d(app);
    QVERIFY(d.exportAs(4, path("a.b")));
    const QString copy = path("a.b"); // "a.b" keeps its extension "b"
    QCOMPARE(readAll(copy), readAll(QString::fromStdString(app.film.path())));
    QVERIFY(d.exportAs(4, path("clip")));
    QVERIFY(QFile::exists(path("clip.avi")));
    if (QStandardPaths::findExecutable("ffprobe").isEmpty()) QSKIP("no ffprobe");
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "v:0",
                            "-show_entries", "stream=width,height,nb_read_frames",
                            "-of", "csv=p=0", path("clip.avi")});
    QVERIFY(probe.waitForFinished(20000));
    QCOMPARE(probe.exitCode(), 0);
    const QString out = QString(probe.readAllStandardOutput()).trimmed();
    QVERIFY2(out.startsWith("40,30,"), qPrintable(out));
}

void ExportDialogTest::modelMeshIsVrmlWithAColourPerObject() {
    App app(dir_.path());
    app.model.object(0).polyColour = {0, 0, 255};
    app.renderFrame();
    Dialog d(app);
    QVERIFY(d.exportAs(2, path("model")));
    QCOMPARE(d.ui.lastText(), QString("Export successful"));
    const std::vector<VrmlShape> shapes = readVrml(readAll(path("model.wrl")));
    QCOMPARE(shapes.size(), std::size_t(2));
    QCOMPARE(shapes[0].colour, (std::array<double, 3>{0, 0, 1}));
    QCOMPARE(shapes[1].colour, (std::array<double, 3>{1, 0, 0}));
    for (const VrmlShape& shape : shapes) {
        QVERIFY(shape.faces > 10);
        QVERIFY(shape.indicesValid);
    }
    // Each object where the frame showed it: the big ball about the origin, the small one
    // moved to x = 7 with the radius 2 of the time defaults.
    QVERIFY(shapes[0].xmin > -5.5 && shapes[0].xmax < 5.5 && shapes[0].xmax > 4.0);
    QVERIFY(shapes[1].xmin > 4.5 && shapes[1].xmax < 9.5);

    // Mesh files by extension, through the same writers, read by a mesh library.
    QVERIFY(d.exportAs(2, path("model.stl")));
    QVERIFY(d.exportAs(2, path("model.obj")));
    QVERIFY(QFile::exists(path("model.mtl")));
    QVERIFY(d.exportAs(2, path("model.txt"))); // any other extension: VRML
    QCOMPARE(readVrml(readAll(path("model.txt"))).size(), std::size_t(2));
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).filter("lumovar").size(), 0);

    // A VRML reader that no one here wrote parses the file without a warning and writes back
    // every shape with its colour and all its faces.
    if (!QStandardPaths::findExecutable("tovrmlx3d").isEmpty()) {
        QProcess convert;
        convert.start("tovrmlx3d", {path("model.wrl")});
        QVERIFY(convert.waitForFinished(20000));
        const QByteArray warnings = convert.readAllStandardError();
        QVERIFY2(convert.exitCode() == 0 && warnings.isEmpty(), warnings.constData());
        const std::vector<VrmlShape> read = readVrml(convert.readAllStandardOutput().toStdString());
        QCOMPARE(read.size(), shapes.size());
        for (std::size_t i = 0; i < read.size(); ++i) {
            QCOMPARE(read[i].colour, shapes[i].colour);
            QCOMPARE(read[i].faces, shapes[i].faces);
            QVERIFY(read[i].indicesValid);
        }
    }
    if (QStandardPaths::findExecutable("assimp").isEmpty()) QSKIP("no assimp");
    for (const char* name : {"model.stl", "model.obj"}) {
        QProcess info;
        info.start("assimp", {"info", path(name)});
        QVERIFY(info.waitForFinished(20000));
        const QString out = info.readAllStandardOutput();
        QVERIFY2(info.exitCode() == 0, qPrintable(out));
        QRegularExpressionMatch faces = QRegularExpression("Faces:\\s+(\\d+)").match(out);
        QVERIFY2(faces.hasMatch() && faces.captured(1).toInt() > 20, qPrintable(out));
    }
}

void ExportDialogTest::existingFilesAreReplacedOnlyOnYes() {
    App app(dir_.path());
    app.renderFrame();
    app.renderAnimation();
    {
        QFile f(path("old.bmp"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    Dialog d(app);
    d.ui.answers = {ui::MsgResult::No};
    QVERIFY(!d.exportAs(0, path("old")));
    QCOMPARE(d.ui.shown.size(), std::size_t(1)); // only the question: no failure report
    const ui::FakeUiServices::Shown& q = d.ui.shown.front();
    QCOMPARE(q.buttons, ui::MsgButtons::YesNo);
    QCOMPARE(q.defaultButton, ui::MsgResult::No);
    QCOMPARE(q.icon, ui::MsgIcon::Question);
    QVERIFY(q.text.contains(path("old.bmp")));
    QCOMPARE(readAll(path("old.bmp")), std::string("keep me"));

    d.ui.answers = {ui::MsgResult::Yes};
    QVERIFY(d.dialog.exportNow());
    QVERIFY(readAll(path("old.bmp")).starts_with("BM"));
    QCOMPARE(d.ui.lastText(), QString("Export successful"));

    // A series asks once for all the files it would replace.
    QVERIFY(d.exportAs(3, path("s")));
    const std::size_t before = d.ui.shown.size();
    d.ui.answers = {ui::MsgResult::No};
    QVERIFY(!d.dialog.exportNow());
    QCOMPARE(d.ui.shown.size(), before + 1);
    QVERIFY(d.ui.lastText().startsWith("2 files of the series already exist"));
}

void ExportDialogTest::theTemporaryFilmIsNeverAnExportTarget() {
    App app(dir_.path());
    app.renderFrame();
    app.renderAnimation();
    QVERIFY(app.compileFilm());
    const QString film = QString::fromStdString(app.film.path());
    const std::string bytes = readAll(film);
    QVERIFY(bytes.size() > 1000);
    Dialog d(app);
    // Another spelling of the same path, a link to it, and an image onto it.
    const QString spelled = dir_.path() + "/./" + QFileInfo(film).fileName();
    QVERIFY(QFile::link(film, path("link.avi")));
    for (auto [source, name] : {std::pair{4, film}, {4, spelled}, {4, path("link.avi")},
                                {0, film}}) {
        d.ui.answers = {ui::MsgResult::Yes};
        QVERIFY(!d.exportAs(source, name));
        QCOMPARE(d.ui.lastText(), QString("Export failed"));
        QCOMPARE(d.ui.shown.back().icon, ui::MsgIcon::Error);
    }
    QCOMPARE(readAll(film), bytes);
    QVERIFY(app.film.isReady() && app.film.isHeld());
    QVERIFY(QFileInfo(path("link.avi")).isSymLink());
}

void ExportDialogTest::failureIsReportedAndTheDialogStaysOpen() {
    App app(dir_.path());
    app.renderFrame();
    Dialog d(app);
    d.dialog.show();
    QVERIFY(!d.exportAs(0, path("no/such/folder/pic")));
    QCOMPARE(d.ui.lastText(), QString("Export failed"));
    QCOMPARE(d.ui.shown.back().icon, ui::MsgIcon::Error);
    QVERIFY(d.dialog.isVisible());
    QCOMPARE(d.dialog.fileName()->text(), path("no/such/folder/pic")); // contents kept
    QVERIFY(d.exportAs(0, path("pic")));
    QVERIFY(d.dialog.isVisible());
    QTest::mouseClick(d.dialog.closeButton(), Qt::LeftButton);
    QVERIFY(!d.dialog.isVisible());
}

QTEST_MAIN(ExportDialogTest)
#include "export_dialog_test.moc"
