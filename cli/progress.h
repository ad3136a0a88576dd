#pragma once
// The progress of a long command: captions on one terminal line that each replaces the last.
#include <functional>
#include <string>

namespace lv::cli {

// Shows captions on standard error when it is a terminal, overwriting one line; elsewhere
// shows nothing, so that piped output carries no progress.
class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine() { finish(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Shows text unless it is the caption already shown.
    void show(const std::string& text);
    // Clears the line (nothing when no caption is shown).
    void finish();

private:
    bool terminal_;
    std::string last_;
};

// A slice callback showing prefix + "Rendering N%" for done of total slices.
std::function<void(int done, int total)> percentCaption(ProgressLine& progress,
                                                         const std::string& prefix);

} // namespace lv::cli
