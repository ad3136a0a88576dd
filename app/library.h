#pragma once
// The external library: one source file whose objects every compilation may call. It is
// compiled without a library of its own and held by the source cache.
#include <memory>
#include <string>

#include "app/source_cache.h"

namespace lv::app {

// Compiles the library file at path without a library. Null with readError set when the file
// cannot be read; a compile error is recorded in the result (such a library is kept but gives
// compilations no objects).
std::shared_ptr<const CompiledFile> compileLibrary(const std::string& path,
                                                   std::string& readError);

// Compiles cache's library again in place when it is stale (changed or removed file). Returns
// true when the cache has a current library afterwards, false when it has none or its file
// can no longer be read (the stale library is then kept).
bool refreshLibrary(SourceCache& cache);

// Sets the file at path as cache's library (an empty path removes it). Returns false with
// readError set, leaving the library unchanged, when the file cannot be read.
bool setLibraryFile(SourceCache& cache, const std::string& path, std::string& readError);

} // namespace lv::app
