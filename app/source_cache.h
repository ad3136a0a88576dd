#pragma once
// Compiled source files by path, compiled again only when the file or the library changed.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lang/compiler.h"
#include "model/source_provider.h"

namespace lv::app {

using FileTime = std::filesystem::file_time_type;

// The file time of a compiled file that was never read: 1 January 1981, 00:00:00.
FileTime initialFileTime();

// One compiled source file. Immutable once built; shared by the cache and its users.
struct CompiledFile {
    std::string path;                  // as requested, compared byte for byte
    FileTime fileTime = initialFileTime(); // last modification time when the file was read
    lang::ObjectList objects;          // in file order; empty when the file has an error
    std::optional<lang::CompileError> firstError;
    // The library whose objects the compilation was given: its path and file time; an empty
    // path when it was given none.
    std::string libraryPath;
    FileTime libraryTime = initialFileTime();

    bool hasError() const { return firstError.has_value(); }
};

// How dialogs list a compiled file: its full path, or only the part after the last '/'.
std::string displayName(const CompiledFile& file, bool showPath);

// The last modification time of path, or nullopt when it has none (missing, unreadable).
std::optional<FileTime> fileTimeOf(const std::string& path);

// The read error of a file whose compilation ran out of memory.
inline constexpr const char* kOutOfMemoryCompiling = "out of memory while compiling";

// Reads path (its time first, then its text with CR LF made LF) and compiles it with the given
// library objects. Returns null with readError set when the file cannot be read (missing, or a
// CR without LF), or when memory ran out (kOutOfMemoryCompiling). A compile error is recorded
// in the result.
std::shared_ptr<CompiledFile> compileFile(const std::string& path,
                                          const lang::ObjectList& library,
                                          std::string& readError);

// Whether entry still stands for its file: the file exists with the recorded time; it was
// compiled with the objects of the library in force (none when library is null or has an
// error), so that setting, changing or removing a library compiles it again; and, when a
// library is given, the library has no error, is itself current, and is not newer than entry.
bool isCurrent(const CompiledFile& entry, const CompiledFile* library);

class SourceCache : public model::SourceProvider {
public:
    // The current compilation of path: the cached one when current against the library, else
    // a fresh one (replacing the stale entry). An entry with a compile error is cached and
    // returned too. Null when the file cannot be read (readError() says why).
    std::shared_ptr<const CompiledFile> lookup(const std::string& path);
    // Why the last lookup returned null.
    const std::string& readError() const { return readError_; }
    // Drops path's entry, if any.
    void remove(const std::string& path);
    const std::vector<std::shared_ptr<const CompiledFile>>& files() const { return files_; }

    // The library whose objects every compilation may call, or null.
    const std::shared_ptr<const CompiledFile>& library() const { return library_; }
    // Replaces the library (null: none). Cached entries are judged against it at their next
    // lookup.
    void setLibrary(std::shared_ptr<const CompiledFile> library);
    // The objects handed to compilations: the library's when it is set without an error.
    lang::ObjectList libraryObjects() const;

    // model::SourceProvider: the lookup as the model sees it.
    model::SourceObjects compiledObjects(const std::string& path) override;

private:
    std::vector<std::shared_ptr<const CompiledFile>> files_;
    std::shared_ptr<const CompiledFile> library_;
    std::string readError_;
};

} // namespace lv::app
