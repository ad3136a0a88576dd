#include "render/film.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "export/replacing_file.h"

namespace lv::render {
namespace {

constexpr int kNames = 100;
constexpr std::size_t kCopyBuffer = 1u << 16;

std::string filmName(const std::string& directory, int i) {
    char name[32];
    std::snprintf(name, sizeof name, "~_tmp%d.avi", i);
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(directory, ec) / name;
    return ec ? directory + "/" + name : full.lexically_normal().string();
}

// Opens and locks name; -1 when it cannot be opened, is not a plain file (a link could make
// the film overwrite whatever it points to) or another open file holds the lock.
int openLocked(const std::string& name) {
    const int fd =
        ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether fd is still the file under name: a holder may delete it between our open and lock.
bool stillNamed(int fd, const std::string& name) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::stat(name.c_str(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

} // namespace

TempFilm::~TempFilm() {
    discard();
}

bool TempFilm::hold(const std::string& path) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int fd = openLocked(path);
        if (fd < 0) {
            return false;
        }
        if (stillNamed(fd, path)) {
            fd_ = fd;
            return true;
        }
        ::close(fd);
    }
    return false;
}

bool TempFilm::reserve(const std::string& directory) {
    discard();
    for (int i = 0; i < kNames; ++i) {
        path_ = filmName(directory, i);
        if (hold(path_)) {
            return true;
        }
    }
    return false;
}

void TempFilm::discard() {
    ready_ = false;
    if (fd_ >= 0) {
        ::unlink(path_.c_str()); // while still locked, so no other process holds this name
        ::close(fd_);
        fd_ = -1;
    }
}

void TempFilm::closeFile() {
    ready_ = false;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool TempFilm::reopenFile() {
    ready_ = fd_ >= 0 || (!path_.empty() && hold(path_));
    return ready_;
}

bool TempFilm::compile(const FrameSource& frames, std::string& error) {
    ready_ = false;
    if (path_.empty()) {
        error = "no film file was reserved";
        return false;
    }
    if (fd_ < 0 && !hold(path_)) {
        error = "the film file '" + path_ + "' is held by another process or cannot be created";
        return false;
    }
    if (::ftruncate(fd_, 0) != 0) {
        error = "cannot write the film '" + path_ + "': " + std::strerror(errno);
        return false;
    }
    if (!writeAvi(fd_, frames, error)) {
        [[maybe_unused]] const int emptied = ::ftruncate(fd_, 0);
        return false;
    }
    ready_ = true;
    return true;
}

bool TempFilm::copyTo(const std::string& destination, std::string& error) const {
    if (!ready_ || fd_ < 0) {
        error = "there is no compiled film";
        return false;
    }
    exporter::ReplacingFile out;
    if (!out.open(destination, error)) {
        return false;
    }
    std::vector<char> buffer(kCopyBuffer);
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(fd_, buffer.data(), buffer.size(), offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = "cannot read the film '" + path_ + "': " + std::strerror(errno);
            return false;
        }
        if (n == 0) {
            break;
        }
        if (!out.write(buffer.data(), static_cast<std::size_t>(n), error)) {
            return false;
        }
        offset += n;
    }
    return out.commit(error);
}

} // namespace lv::render
