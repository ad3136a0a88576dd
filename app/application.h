#pragma once
// The desktop application: owns the application state, the user-interface services and the
// main window for the whole run, and starts and ends them in order.
#include <QStringList>
#include <memory>

#include "app/app_state.h"
#include "app/ui_services.h"

namespace lv::app {

class MainWindow;

class Application {
public:
    // Makes the state (model with its defaults first), reserves the temporary film in
    // filmDir (or the cache folder when filmDir is not writable), then the main window with its
    // hidden reference window. The window is not shown yet.
    Application(std::unique_ptr<ui::UiServices> ui, const QString& filmDir);
    ~Application();

    AppState& state() { return *state_; }
    ui::UiServices& ui() { return *ui_; }
    MainWindow& mainWindow() { return *window_; }

    // Opens each file named at start-up (one that cannot be read gets a message and the
    // others still open), or a new "Untitled1" when none is named.
    void openStartupFiles(const QStringList& files);

private:
    std::unique_ptr<AppState> state_;
    std::unique_ptr<ui::UiServices> ui_;
    std::unique_ptr<MainWindow> window_;
};

// Whether the command line asks for the desktop application: no arguments, or arguments that
// are all .lv or .lvm files.
bool isGuiCommandLine(int argc, char** argv);

// Runs the desktop application on the files named in argv[1..]; returns the exit status (2,
// with a message, when there is no display to show it on).
int runGui(int& argc, char** argv);

} // namespace lv::app
