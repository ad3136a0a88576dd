#include "app/library.h"

namespace lv::app {

std::shared_ptr<const CompiledFile> compileLibrary(const std::string& path,
                                                   std::string& readError) {
    return compileFile(path, {}, readError);
}

bool refreshLibrary(SourceCache& cache) {
    const auto& library = cache.library();
    if (!library) return false;
    if (isCurrent(*library, nullptr)) return true;
    std::string readError;
    auto fresh = compileLibrary(library->path, readError);
    if (!fresh) return false;
    cache.setLibrary(std::move(fresh));
    return true;
}

bool setLibraryFile(SourceCache& cache, const std::string& path, std::string& readError) {
    if (path.empty()) {
        cache.setLibrary(nullptr);
        return true;
    }
    auto library = compileLibrary(path, readError);
    if (!library) return false;
    cache.setLibrary(std::move(library));
    return true;
}

} // namespace lv::app
