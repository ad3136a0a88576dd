#pragma once
// Compiles the text of one Lumovar program into compiled objects.
#include <string>
#include <vector>

#include "lang/compiled_object.h"

namespace lv::lang {

using ObjectList = std::vector<CompiledObjectPtr>;

// text: NUL-terminated, LF line ends. objects and errors are cleared first. library: compiled
// objects that calls may name, searched after the objects earlier in text. Returns 1 when the
// compilation finished: objects holds every object when errors is empty, and nothing otherwise.
// Returns 0 when memory ran out (both lists empty). Safe to run on several threads at once.
int compileProgram(const char* text, ObjectList& objects, std::vector<CompileError>& errors,
                   const ObjectList& library);

// name as objects are named: object names ignore letter case and are kept in lower case.
std::string lowerObjectName(std::string name);

// Object of list named name (lower case), or null.
CompiledObjectPtr findObject(const ObjectList& list, const std::string& name);

} // namespace lv::lang
