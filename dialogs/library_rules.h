#pragma once
// What the "Library Properties" dialog shows and stores, without widgets: a working copy of the
// library (reloaded when its file changed), the "Enable Library" and "&Show file path" states,
// a file chosen with "&Browse", the functions list with its placeholder titles, and OK applying
// the copy to the source cache.
#include <memory>
#include <string>
#include <vector>

#include "app/source_cache.h"

namespace lv::dialogs {

inline constexpr const char* kLibraryBrowseTitle = "Select file with source text ...";
inline constexpr const char* kLibraryFilter = "Lumovar Files (*.LV *.lv)";
inline constexpr const char* kLibraryNotSet = "Library was not set.";
inline constexpr const char* kLibraryNotValid = "Library is not valid.";
inline constexpr const char* kLibraryNoFunctions = "No functions in library.";
// The compile error of a library kept although its file could not be read.
inline constexpr const char* kLibraryUnreadable = "library file cannot be read";

// "Program contains errors:\nError text: %s\nLine: %d" of a compile error.
std::string programErrorReport(const lang::CompileError& error);

// The functions list: its column titles and widths (a width of -1 fills the list, -120 is the
// list's width less 120 pixels), and one row of texts per library object.
struct LibraryListing {
    struct Column {
        std::string title;
        int width = -1;
    };
    std::vector<Column> columns;
    std::vector<std::vector<std::string>> rows;
};

class LibrarySession {
public:
    // Starts from the cache's library: a copy that is reloaded from its file when the file
    // changed (or went), enabled exactly when there is one; "&Show file path" off.
    explicit LibrarySession(const app::SourceCache& cache);

    // "&Browse" chose path: it is read and compiled (without a library) and replaces the
    // working copy whatever the outcome. Returns the error text to show (stop icon), empty when
    // the library is valid.
    std::string browse(const std::string& path);

    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool enabled() const { return enabled_; }
    void setShowPath(bool show) { showPath_ = show; }
    bool showPath() const { return showPath_; }

    // The path field: the full path or the file name alone; empty with no library or disabled.
    std::string pathText() const;
    // The list as it stands now: empty (no columns) when disabled.
    LibraryListing listing() const;

    // Whether the working copy is there and usable, and why not.
    bool hasLibrary() const { return library_ != nullptr; }
    bool isValid() const { return library_ && !library_->hasError(); }
    const std::string& errorText() const { return errorText_; }
    const std::shared_ptr<const app::CompiledFile>& library() const { return library_; }

    // OK: the cache's library becomes the working copy when enabled, none otherwise.
    void apply(app::SourceCache& cache) const;

private:
    void load(const std::string& path);

    std::shared_ptr<const app::CompiledFile> library_;
    std::string errorText_;
    bool enabled_ = false;
    bool showPath_ = false;
};

} // namespace lv::dialogs
