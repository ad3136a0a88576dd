#include "app/model_loading.h"

#include "app/library.h"
#include "lang/settings.h"

namespace lv::app {

namespace {

// The outcome of a file that could not be read: unreadable, or out of memory while compiling.
LoadOutcome readFailure(const std::string& path, const std::string& readError) {
    LoadOutcome out;
    out.path = path;
    out.status = readError == kOutOfMemoryCompiling ? LoadStatus::OutOfMemory
                                                    : LoadStatus::Unreadable;
    out.readError = readError;
    return out;
}

LoadOutcome compileFailure(const CompiledFile& file) {
    LoadOutcome out;
    out.status = LoadStatus::CompileError;
    out.path = file.path;
    out.compileError = *file.firstError;
    return out;
}

} // namespace

LoadOutcome loadSource(SourceCache& cache, const std::string& path,
                       const std::string& libraryPath,
                       std::shared_ptr<const CompiledFile>& file) {
    std::string error;
    if (!setLibraryFile(cache, libraryPath, error)) return readFailure(libraryPath, error);
    if (cache.library() && cache.library()->hasError()) return compileFailure(*cache.library());
    file = cache.lookup(path);
    if (!file) return readFailure(path, cache.readError());
    if (file->hasError()) return compileFailure(*file);
    return {};
}

void applyCalculationSettings(const model::ModelFileContents& contents) {
    lang::setEps(contents.eps);
    lang::setAlpha(contents.alpha);
}

LoadOutcome openModelFile(const std::string& path, SourceCache& cache,
                          model::ModelFileContents& contents) {
    LoadOutcome out;
    if (!model::loadModelFile(path, cache, contents, out.readError)) {
        out.status = LoadStatus::ModelFileError;
        out.path = path;
        return out;
    }
    applyCalculationSettings(contents);
    return out;
}

LoadOutcome loadObjectModel(SourceCache& cache, const std::string& path,
                            const std::string& objectName, const std::string& libraryPath,
                            model::ModelFileContents& contents) {
    std::shared_ptr<const CompiledFile> file;
    LoadOutcome out = loadSource(cache, path, libraryPath, file);
    if (!out.ok()) return out;
    out.path = path;
    const std::string function = lang::lowerObjectName(objectName);
    lang::CompiledObjectPtr object = lang::findObject(file->objects, function);
    if (!object) {
        out.status = LoadStatus::NoSuchObject;
        out.objectName = objectName;
        return out;
    }
    out.objectName = function;
    if (!placeable(object->xSize)) {
        out.status = LoadStatus::TooFewX;
        return out;
    }
    if (contents.model.addObject(cache, function, function, path) == nullptr)
        out.status = LoadStatus::NotAdded;
    return out;
}

} // namespace lv::app
