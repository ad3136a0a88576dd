#include "dialogs/library_rules.h"

#include "app/library.h"

namespace lv::dialogs {

std::string programErrorReport(const lang::CompileError& error) {
    return std::string("Program contains errors:\nError text: ") + error.message +
           "\nLine: " + std::to_string(error.line);
}

LibrarySession::LibrarySession(const app::SourceCache& cache) {
    const std::shared_ptr<const app::CompiledFile>& current = cache.library();
    if (!current) return;
    enabled_ = true;
    library_ = current;
    if (!app::isCurrent(*current, nullptr))
        load(current->path);
    else if (current->hasError())
        errorText_ = programErrorReport(*current->firstError);
}

void LibrarySession::load(const std::string& path) {
    std::string readError;
    std::shared_ptr<const app::CompiledFile> fresh = app::compileLibrary(path, readError);
    if (fresh) {
        library_ = std::move(fresh);
        errorText_ = library_->hasError() ? programErrorReport(*library_->firstError) : "";
        return;
    }
    // Kept all the same, as a library with an error, so that OK can still store it.
    auto unreadable = std::make_shared<app::CompiledFile>();
    unreadable->path = path;
    unreadable->firstError = lang::CompileError{kLibraryUnreadable, 0, 0};
    library_ = std::move(unreadable);
    errorText_ = "Cannot read the library file " + path + ":\n" + readError;
}

std::string LibrarySession::browse(const std::string& path) {
    load(path);
    return errorText_;
}

std::string LibrarySession::pathText() const {
    if (!enabled_ || !library_) return {};
    return app::displayName(*library_, showPath_);
}

LibraryListing LibrarySession::listing() const {
    LibraryListing list;
    if (!enabled_) return list;
    if (!library_) {
        list.columns = {{kLibraryNotSet, -1}};
    } else if (library_->hasError()) {
        list.columns = {{kLibraryNotValid, -1}};
        // The reason on one line under the title.
        std::string reason = errorText_;
        for (char& c : reason)
            if (c == '\n') c = ' ';
        if (!reason.empty()) list.rows.push_back({reason});
    } else if (library_->objects.empty()) {
        list.columns = {{kLibraryNoFunctions, -1}};
    } else {
        list.columns = {{"Name", -120}, {"X dim", 60}, {"A dim", 60}};
        for (const lang::CompiledObjectPtr& object : library_->objects)
            list.rows.push_back({object->name, std::to_string(object->xSize),
                                 std::to_string(object->aSize)});
    }
    return list;
}

void LibrarySession::apply(app::SourceCache& cache) const {
    cache.setLibrary(enabled_ ? library_ : nullptr);
}

} // namespace lv::dialogs
