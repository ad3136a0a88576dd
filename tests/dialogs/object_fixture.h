#pragma once
// What the object dialog tests share: source files in a scratch folder, a source cache, the
// model behind its change notifications, and fake message boxes and file choosers.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/model_events.h"
#include "app/source_cache.h"
#include "app/ui_services.h"
#include "model/model.h"
#include "tests/support/scratch_dir.h"

namespace lv::test {

// ball: n = 3, m = 1; quad: n = 4, m = 2; flat: n = 2; plain: n = 3, m = 0.
inline const char* kObjectsText =
    "ball(x[3], a[1]) { ball = a[1]^2 - x[1]^2 - x[2]^2 - x[3]^2; }\n"
    "quad(x[4], a[2]) { quad = x[1] + x[2] + x[3] + x[4] + a[1] - a[2]; }\n"
    "flat(x[2], a[1]) { flat = x[1] + x[2]; }\n"
    "plain(x[3], a[0]) { plain = 1 - x[1]; }\n";
inline const char* kBadText = "p(x[3], a[0]) { p = x[1] +; }\n";

struct ObjectFixture {
    ScratchDir scratch;
    app::SourceCache cache;
    model::Model model;
    ui::ModelEvents events{model};
    ui::FakeUiServices ui;

    // Writes text to name in the scratch folder; each write gets a later modification time,
    // so the cache sees every rewrite however coarse the file system's clock.
    std::string write(const std::string& name, const std::string& text) {
        const std::string path = scratch.file(name);
        std::ofstream(path, std::ios::binary) << text;
        static auto stamp = std::filesystem::file_time_type::clock::now();
        stamp += std::chrono::seconds(2);
        std::filesystem::last_write_time(path, stamp);
        return path;
    }
    // Writes and compiles a file so that the cache lists it.
    std::string compiled(const std::string& name, const std::string& text) {
        const std::string path = write(name, text);
        cache.lookup(path);
        return path;
    }
    model::ModelObject* add(const std::string& name, const std::string& function,
                            const std::string& path) {
        return events.addObject(cache, name, function, path);
    }
};

} // namespace lv::test
