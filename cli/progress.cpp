#include "cli/progress.h"

#include <unistd.h>

#include <cstdio>

namespace lv::cli {

ProgressLine::ProgressLine() : terminal_(::isatty(STDERR_FILENO) == 1) {}

void ProgressLine::show(const std::string& text) {
    if (!terminal_ || text == last_) return;
    std::fprintf(stderr, "\r%-40s", text.c_str());
    std::fflush(stderr);
    last_ = text;
}

void ProgressLine::finish() {
    if (!last_.empty()) std::fprintf(stderr, "\r%-40s\r", "");
    last_.clear();
}

std::function<void(int, int)> percentCaption(ProgressLine& progress, const std::string& prefix) {
    return [&progress, prefix](int done, int total) {
        int percent = total > 0 ? static_cast<int>(100LL * done / total) : 100;
        progress.show(prefix + "Rendering " + std::to_string(percent) + "%");
    };
}

} // namespace lv::cli
