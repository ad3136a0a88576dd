#include "app/application.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "render/gui/frame_widget.h"

namespace lv::app {

namespace {

bool isSourceOrModelName(const char* arg) {
    QString name = QString::fromLocal8Bit(arg);
    return !name.startsWith(QLatin1Char('-')) &&
           (name.endsWith(QStringLiteral(".lv"), Qt::CaseInsensitive) ||
            name.endsWith(QStringLiteral(".lvm"), Qt::CaseInsensitive));
}

} // namespace

Application::Application(std::unique_ptr<ui::UiServices> ui, const QString& filmDir)
    : state_(std::make_unique<AppState>()), ui_(std::move(ui)) {
    const std::string folder = filmFolder(filmDir.toStdString(), xdgCacheHome());
    // A folder whose film names are all held by other runs: the cache folder then.
    if (!state_->film.reserve(folder)) state_->film.reserve(filmFolder("", xdgCacheHome()));
    window_ = std::make_unique<MainWindow>(*state_, *ui_);
}

Application::~Application() {
    // The worker's job must end before the windows it reports to go.
    state_->worker.wait();
    window_.reset();
}

void Application::openStartupFiles(const QStringList& files) {
    if (files.isEmpty()) {
        window_->newDocument();
        return;
    }
    for (const QString& file : files) window_->openFile(file);
}

bool isGuiCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (!isSourceOrModelName(argv[i])) return false;
    return true;
}

int runGui(int& argc, char** argv) {
    // Without any display Qt would abort; say what to do instead.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") &&
        !std::getenv("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "lumovar: no display for the desktop application; the commands "
                             "work without one (see lumovar --help)\n");
        return 2;
    }
    render::gui::prepareOpenGl(); // before the application picks its OpenGL interface
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Lumovar"));
    QApplication::setApplicationName(QStringLiteral("Lumovar"));
    QApplication::setDesktopFileName(QStringLiteral("lumovar"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/lumovar/lumovar.png")));
    // Numbers in dialogs follow the user's locale; the scene text converts back to periods.
    std::setlocale(LC_ALL, "");

    QStringList files;
    for (int i = 1; i < argc; ++i) files.append(QString::fromLocal8Bit(argv[i]));
    Application application(std::make_unique<ui::QtUiServices>(), QDir::currentPath());
    application.mainWindow().show();
    application.openStartupFiles(files);
    return QApplication::exec();
}

} // namespace lv::app
