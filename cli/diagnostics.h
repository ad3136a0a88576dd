#pragma once
// The one place where the command line words its errors that have a source position:
// FILE:LINE:COLUMN: error: MESSAGE, FILE being the file that holds the failing code.
#include <string>

#include "lang/compiler.h"

namespace lv::cli {

// Records the library file the running command compiled, so that errors in its objects (and
// in objects they call) name that file. Called by the loaders; a later call replaces it.
void rememberLibrary(const std::string& path, const lang::ObjectList& objects);

// "FILE:LINE:COLUMN: error: MESSAGE".
std::string diagnosticText(const std::string& file, int line, int column,
                           const std::string& message);

// A compile error of the file at path, as diagnosticText.
std::string compileDiagnostic(const std::string& path, const lang::CompileError& error);

// A run-time error at the failing object's own file and position: the remembered library
// file for an object reachable from the library, else objectPath, the file of the object that
// was evaluated (which holds every callee that does not come from the library).
std::string runtimeDiagnostic(const std::string& objectPath, const lang::RuntimeError& error);

// Prints text and a line end on standard error.
void reportDiagnostic(const std::string& text);

} // namespace lv::cli
