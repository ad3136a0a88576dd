#pragma once
// Loading what the commands work on, one way for the command line and the desktop: a source
// file with an optional library through the source cache, a model file with its EPS and ALPHA
// put in force, and one object of a source file as a model holding that object alone.
#include <memory>
#include <string>

#include "app/source_cache.h"
#include "model/model_file.h"

namespace lv::app {

// Why a load stopped.
enum class LoadStatus {
    Ok,
    Unreadable,     // path cannot be read: readError says why
    OutOfMemory,    // memory ran out while compiling path
    CompileError,   // path does not compile: compileError
    NoSuchObject,   // the source file holds no object named objectName
    TooFewX,        // the object lacks x[1], x[2] or x[3] (see placeable)
    NotAdded,       // the model refused the object
    ModelFileError, // the model file is not valid: readError says why
};

struct LoadOutcome {
    LoadStatus status = LoadStatus::Ok;
    std::string path;                // the file the failure concerns: the library or the source
    std::string readError;           // Unreadable, ModelFileError
    lang::CompileError compileError; // CompileError
    std::string objectName;          // NoSuchObject: as asked; TooFewX, NotAdded: lower case

    bool ok() const { return status == LoadStatus::Ok; }
};

// Whether an object with xSize x components can stand in a model: x[1], x[2] and x[3] are the
// coordinates it is polygonized over.
constexpr bool placeable(int xSize) { return xSize >= 3; }

// Makes libraryPath cache's library (none when empty; its compile error stops the load), then
// compiles path against it. file is the compiled source when the outcome is Ok.
LoadOutcome loadSource(SourceCache& cache, const std::string& path,
                       const std::string& libraryPath,
                       std::shared_ptr<const CompiledFile>& file);

// Puts the EPS and ALPHA of a loaded model file in force.
void applyCalculationSettings(const model::ModelFileContents& contents);

// Loads the model file at path with its sources from cache and, when it is valid, puts its
// EPS and ALPHA in force; an invalid file (ModelFileError) changes neither.
LoadOutcome openModelFile(const std::string& path, SourceCache& cache,
                          model::ModelFileContents& contents);

// A model of the one object named objectName (any letter case) of the source file at path,
// compiled against the library at libraryPath (none when empty), with the defaults of a new
// object: its name and function are the lower-case object name. contents' model gets it.
LoadOutcome loadObjectModel(SourceCache& cache, const std::string& path,
                            const std::string& objectName, const std::string& libraryPath,
                            model::ModelFileContents& contents);

} // namespace lv::app
