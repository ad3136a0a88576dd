#include "lang/source_text.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace lv::lang {

SourceText normalizeSource(const std::string& raw) {
    SourceText out;
    out.text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\r') {
            if (i + 1 < raw.size() && raw[i + 1] == '\n') continue; // CR LF becomes LF
            out.text.clear();
            out.error = "carriage return without line feed at byte " + std::to_string(i + 1);
            return out;
        }
        if (c == '\0') {
            out.text.clear();
            out.error = "NUL byte at byte " + std::to_string(i + 1) + " (not a text file)";
            return out;
        }
        out.text += c;
    }
    out.ok = true;
    return out;
}

SourceText readSourceFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SourceText out;
        out.error = std::strerror(errno != 0 ? errno : ENOENT);
        return out;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        SourceText out;
        out.error = "read error";
        return out;
    }
    return normalizeSource(buffer.str());
}

} // namespace lv::lang
