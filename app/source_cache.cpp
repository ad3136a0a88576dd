#include "app/source_cache.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>

#include "lang/source_text.h"

namespace lv::app {

FileTime initialFileTime() {
    using namespace std::chrono;
    sys_seconds start{sys_days{year{1981} / January / 1}};
    return time_point_cast<FileTime::duration>(FileTime::clock::from_sys(start));
}

std::string displayName(const CompiledFile& file, bool showPath) {
    std::size_t slash = file.path.rfind('/');
    return showPath || slash == std::string::npos ? file.path : file.path.substr(slash + 1);
}

std::optional<FileTime> fileTimeOf(const std::string& path) {
    std::error_code ec;
    FileTime time = std::filesystem::last_write_time(path, ec);
    if (ec) return std::nullopt;
    return time;
}

std::shared_ptr<CompiledFile> compileFile(const std::string& path,
                                          const lang::ObjectList& library,
                                          std::string& readError) {
    try {
        // The time is taken before the text: a change in between leaves an older time, so the
        // entry is compiled again at its next lookup rather than kept with stale text.
        std::optional<FileTime> time = fileTimeOf(path);
        lang::SourceText source = lang::readSourceFile(path);
        if (!source.ok || !time) {
            readError = source.ok ? "No such file or directory" : source.error;
            return nullptr;
        }
        auto file = std::make_shared<CompiledFile>();
        file->path = path;
        file->fileTime = *time;
        std::vector<lang::CompileError> errors;
        if (lang::compileProgram(source.text.c_str(), file->objects, errors, library) == 0) {
            readError = kOutOfMemoryCompiling;
            return nullptr;
        }
        if (!errors.empty()) file->firstError = errors.front();
        return file;
    } catch (const std::bad_alloc&) {
        readError = kOutOfMemoryCompiling;
        return nullptr;
    }
}

bool isCurrent(const CompiledFile& entry, const CompiledFile* library) {
    std::optional<FileTime> time = fileTimeOf(entry.path);
    if (!time || *time != entry.fileTime) return false;
    const bool libraryUsed = library != nullptr && !library->hasError();
    if (entry.libraryPath != (libraryUsed ? library->path : std::string()) ||
        (libraryUsed && entry.libraryTime != library->fileTime))
        return false;
    // Without a library an unchanged file stays current: its objects hold their own copies of
    // every object they call, so nothing outside the file can make them stale.
    if (library == nullptr) return true;
    return !library->hasError() && isCurrent(*library, nullptr) &&
           !(entry.fileTime < library->fileTime);
}

std::shared_ptr<const CompiledFile> SourceCache::lookup(const std::string& path) {
    readError_.clear();
    auto found = std::find_if(files_.begin(), files_.end(),
                              [&](const auto& f) { return f->path == path; });
    if (found != files_.end()) {
        if (isCurrent(**found, library_.get())) return *found;
        files_.erase(found);
    }
    std::shared_ptr<CompiledFile> file = compileFile(path, libraryObjects(), readError_);
    if (!file) return nullptr;
    if (library_ && !library_->hasError()) {
        file->libraryPath = library_->path;
        file->libraryTime = library_->fileTime;
    }
    files_.push_back(file);
    return file;
}

void SourceCache::remove(const std::string& path) {
    std::erase_if(files_, [&](const auto& f) { return f->path == path; });
}

void SourceCache::setLibrary(std::shared_ptr<const CompiledFile> library) {
    library_ = std::move(library);
}

lang::ObjectList SourceCache::libraryObjects() const {
    if (!library_ || library_->hasError()) return {};
    return library_->objects;
}

model::SourceObjects SourceCache::compiledObjects(const std::string& path) {
    using Status = model::SourceObjects::Status;
    model::SourceObjects result;
    std::shared_ptr<const CompiledFile> file = lookup(path);
    if (!file) {
        result.message = readError_;
        return result;
    }
    if (file->hasError()) {
        result.status = Status::HasError;
        result.message = file->firstError->message;
        result.line = file->firstError->line;
        result.column = file->firstError->column;
        return result;
    }
    result.status = Status::Compiled;
    result.objects = file->objects;
    return result;
}

} // namespace lv::app
