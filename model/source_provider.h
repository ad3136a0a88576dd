#pragma once
// What the model needs from the application's cache of compiled source files: the compiled
// objects of a file by path. The cache (app/source_cache.h) implements it; tests may fake it.
#include <string>

#include "lang/compiler.h"

namespace lv::model {

struct SourceObjects {
    enum class Status { Unreadable, HasError, Compiled };
    Status status = Status::Unreadable;
    lang::ObjectList objects; // the file's objects in file order, when Compiled
    std::string message;      // why it could not be read, or the first compile error's text
    int line = 0;             // of the first compile error (0 otherwise)
    int column = 0;
};

class SourceProvider {
public:
    virtual ~SourceProvider() = default;
    // The compiled objects of the source file at path, compiling it when it has no current
    // compilation. Never throws.
    virtual SourceObjects compiledObjects(const std::string& path) = 0;
};

} // namespace lv::model
