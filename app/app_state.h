#pragma once
// What the application owns for the whole run, apart from its windows: the model, the source
// cache with the library, the render worker with the single-frame job, the time curve and the
// temporary film. Qt-free; the main window and every dialog reach it by reference.
#include <memory>
#include <string>

// The model names a member slots(), which Qt's keyword macro of that name would rewrite: the
// core headers are read with the macro set aside, so Qt code may include this header anywhere.
#pragma push_macro("slots")
#undef slots
#include "app/command_guards.h"
#include "app/source_cache.h"
#include "model/model.h"
#include "model/model_file.h"
#include "render/film.h"
#include "render/render_job.h"
#include "render/render_worker.h"
#include "render/time_curve.h"
#pragma pop_macro("slots")

namespace lv::app {

struct AppState {
    AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;
    ~AppState();

    model::Model model; // made with its defaults before any window
    SourceCache sources;
    render::TimeCurve timeCurve;
    render::TempFilm film;
    std::unique_ptr<render::RenderJob> frameJob; // the single frame, at the time defaults
    bool objectListOpen = false; // the "Model objects" window exists
    // Declared last so that it is destroyed first: its destructor waits for a running job,
    // which uses the members above.
    render::RenderWorker worker;

    // What the command guards read, taken from the members now.
    GuardState guardState() const;
};

// The folder the temporary film goes in: dir when it is a writable folder, else
// cacheHome/lumovar (made when missing). cacheHome is $XDG_CACHE_HOME, or ~/.cache.
std::string filmFolder(const std::string& dir, const std::string& cacheHome);

// The cache home as the XDG rules name it: $XDG_CACHE_HOME when set and absolute, else
// $HOME/.cache, else /tmp.
std::string xdgCacheHome();

} // namespace lv::app
