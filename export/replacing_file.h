#pragma once
// A file written under a temporary name in the directory of its final path and renamed over
// that path by commit, so the final path never holds a partial file. Without a successful commit
// the temporary file is removed when the object goes away and the final path is untouched; while
// it exists its name is recorded for removal on a terminating signal (temp_registry.h).
#include <cstddef>
#include <cstdint>
#include <string>

namespace lv::exporter {

// Whether path and other name the same file: the same existing file (through links too), or,
// when they do not both exist, the same name once resolved as the file system would.
bool sameFile(const std::string& path, const std::string& other);

class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file beside path (mode 0666 less the umask). False with error set.
    bool open(const std::string& path, std::string& error);

    // The temporary file's descriptor, for writers that patch earlier bytes with pwrite.
    int fd() const { return fd_; }

    // Appends all size bytes at the descriptor's offset, or returns false with error set.
    bool write(const void* data, std::size_t size, std::string& error);

    // Flushes, closes and renames the temporary file over the final path.
    bool commit(std::string& error);

    // "cannot write 'PATH': REASON" for the final path and errno value err.
    std::string failure(int err) const;

private:
    void abandon();

    std::string path_;
    std::string temp_;
    int fd_ = -1;
    int registration_ = -1; // the temporary's entry in the signal-time clean-up table
};

// Writes size bytes at offset of fd, retrying short writes; false with errno set on failure.
bool writeAllAt(int fd, const void* data, std::size_t size, std::uint64_t offset);

} // namespace lv::exporter
