#include "lang/source_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
    SourceText out;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        out.error = std::strerror(errno);
        return out;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        out.error = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
        ::close(fd);
        return out;
    }
    std::string raw;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            out.error = std::strerror(errno);
            ::close(fd);
            return out;
        }
        raw.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return normalizeSource(raw);
}

} // namespace lv::lang
