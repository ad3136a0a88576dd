#pragma once
// Loading source files into the form the lexer reads: LF line ends, no stray CR.
#include <string>

namespace lv::lang {

struct SourceText {
    bool ok = false;
    std::string text;  // LF line ends
    std::string error; // why the file could not be read, when !ok
};

// Turns each CR LF into LF; a CR not followed by LF, or a NUL byte, makes the text unusable.
SourceText normalizeSource(const std::string& raw);
// Reads path and normalizes it; error names the reason ("No such file or directory", ...).
SourceText readSourceFile(const std::string& path);

} // namespace lv::lang
