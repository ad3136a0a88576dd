#include "export/replacing_file.h"

#include "export/temp_registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace lv::exporter {

bool sameFile(const std::string& path, const std::string& other) {
    if (path.empty() || other.empty()) return false;
    struct stat a = {}, b = {};
    if (::stat(path.c_str(), &a) == 0 && ::stat(other.c_str(), &b) == 0)
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
    std::error_code e1, e2;
    const auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, e1), e1);
    const auto o = std::filesystem::weakly_canonical(std::filesystem::absolute(other, e2), e2);
    return !e1 && !e2 && p == o;
}

namespace {

std::atomic<unsigned> tempCounter{0};

// Long names leave room for the temporary suffix within the file-name limit.
constexpr std::size_t kMaxBaseInTempName = 180;

} // namespace

ReplacingFile::~ReplacingFile() {
    abandon();
}

bool ReplacingFile::open(const std::string& path, std::string& error) {
    abandon();
    path_ = path;
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base =
        (slash == std::string::npos ? path : path.substr(slash + 1)).substr(0, kMaxBaseInTempName);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = dir + "." + base + ".tmp" + std::to_string(::getpid()) + "_" +
                std::to_string(tempCounter++);
        registration_ = registerTemporary(temp_); // before the file exists: no window
        fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            break;
        }
        const int openErrno = errno;
        forgetTemporary(registration_);
        registration_ = -1;
        errno = openErrno;
        if (errno != EEXIST) {
            break;
        }
    }
    if (fd_ < 0) {
        temp_.clear();
        error = failure(errno);
        return false;
    }
    return true;
}

bool ReplacingFile::write(const void* data, std::size_t size, std::string& error) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = failure(n < 0 ? errno : EIO);
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReplacingFile::commit(std::string& error) {
    if (fd_ < 0) {
        error = failure(EBADF);
        return false;
    }
    const bool synced = ::fsync(fd_) == 0;
    const int syncErrno = errno;
    const bool closed = ::close(fd_) == 0;
    const int closeErrno = errno;
    fd_ = -1;
    if (!synced || !closed) {
        error = failure(synced ? closeErrno : syncErrno);
        return false;
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        error = failure(errno);
        return false;
    }
    temp_.clear();
    forgetTemporary(registration_);
    registration_ = -1;
    return true;
}

std::string ReplacingFile::failure(int err) const {
    return "cannot write '" + path_ + "': " + std::strerror(err);
}

void ReplacingFile::abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    forgetTemporary(registration_);
    registration_ = -1;
}

bool writeAllAt(int fd, const void* data, std::size_t size, std::uint64_t offset) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

} // namespace lv::exporter
