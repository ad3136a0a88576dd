#pragma once
// Shared by the desktop tests: a main window over its own state with fake message boxes and
// choosers, scratch files, and a worker held busy on demand.
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/ui_services.h"

namespace lv::test {

// Keeps settings and caches out of the user's files, in a store of the test program's own
// (test programs run in parallel), emptied first; call before anything reads settings.
inline void useTestSettings(const QString& program) {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("LumovarTest"));
    QCoreApplication::setApplicationName(program);
    QSettings().clear();
}

struct GuiFixture {
    QTemporaryDir dir;
    app::AppState state;
    ui::FakeUiServices ui;
    std::unique_ptr<app::MainWindow> window = std::make_unique<app::MainWindow>(state, ui);
    std::atomic<bool> release{false};

    ~GuiFixture() {
        unblockWorker();
        window.reset();
    }

    // Writes bytes to name in the scratch folder; returns its path.
    QString write(const QString& name, const QByteArray& bytes) {
        QString path = dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly)) file.write(bytes);
        return path;
    }
    QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Appends the object named function of a file holding source.
    model::ModelObject* addObject(const QByteArray& source, const std::string& function) {
        QString path = write(QStringLiteral("obj%1.lv").arg(state.model.count()), source);
        return state.model.addObject(state.sources, "", function, path.toStdString());
    }

    // Holds the render worker busy until unblockWorker().
    void blockWorker() {
        release = false;
        state.worker.start([this] {
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        });
    }
    void unblockWorker() {
        release = true;
        state.worker.wait();
    }
};

} // namespace lv::test
