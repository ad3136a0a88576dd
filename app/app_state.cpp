#include "app/app_state.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace lv::app {

AppState::AppState()
    : frameJob(std::make_unique<render::RenderJob>(0, 0.0, 0.0, 0.0, true)) {}

AppState::~AppState() { worker.wait(); }

GuardState AppState::guardState() const {
    GuardState s;
    s.workerIdle = worker.isIdle();
    s.modelObjects = model.count();
    s.timeUsage = model.timeUsage();
    s.timeCurveRows = timeCurve.count();
    s.animationFrameReady = timeCurve.anyFrameRendered();
    return s;
}

namespace {

// Whether a file can be made in dir: tried, since permission bits say yes to root even where
// nothing can be made (a read-only mount, /proc).
bool canMakeFilesIn(const std::string& dir) {
    std::string name = dir + "/.lumovar-probe-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(name.c_str());
    return true;
}

} // namespace

std::string filmFolder(const std::string& dir, const std::string& cacheHome) {
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec) && canMakeFilesIn(dir)) return dir;
    std::filesystem::path folder = std::filesystem::path(cacheHome) / "lumovar";
    std::filesystem::create_directories(folder, ec);
    return folder.string();
}

std::string xdgCacheHome() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return cache;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.cache";
    return "/tmp";
}

} // namespace lv::app
