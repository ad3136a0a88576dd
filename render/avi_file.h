#pragma once
// Films as RIFF AVI files with one uncompressed video stream of packed-bitmap frames, and a
// reader for such files (the films this program writes, and other uncompressed ones).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/packed_dib.h"

namespace lv::render {

// Film timing: 15 samples per second; frame i sits at sample 10 × i and the 9 samples after it
// are empty, so every frame is shown for 2/3 of a second.
constexpr std::uint32_t kFilmRate = 15;
constexpr std::uint32_t kFilmScale = 1;
constexpr std::uint32_t kSamplesPerFrame = 10;

// Yields the frames in order, then nothing.
using FrameSource = std::function<std::optional<exporter::PackedDib>()>;

// Writes a film from offset 0 of the open descriptor fd (which the caller has emptied): stream
// "vids", handler 0, scale 1, rate 15, length 10 × frames, suggested buffer size and frame
// rectangle from the first frame, stream format = the first frame's header and colour table.
// Frame i is one key-frame chunk "00db" at sample 10 × i; each empty sample is a zero-length
// "00db" chunk; an "idx1" index lists every sample. Fails with error set when there is no
// frame, a frame differs in size, depth or image size from the first, the file would pass
// 2 GiB, or a write fails; fd then holds garbage for the caller to discard.
bool writeAvi(int fd, const FrameSource& frames, std::string& error);

// writeAvi into path through a temporary file renamed at the end: path never holds a partial
// film and is untouched on failure.
bool writeAviFile(const std::string& path, const FrameSource& frames, std::string& error);

// Yields the frames of the list in order, each once.
FrameSource framesOf(std::vector<exporter::PackedDib> frames);

class AviReader {
public:
    AviReader() = default;
    // Closes the file.
    ~AviReader();
    AviReader(const AviReader&) = delete;
    AviReader& operator=(const AviReader&) = delete;

    // Opens an AVI file and reads the first video stream's header, format and sample list (from
    // "idx1", else from the "movi" list). Fails with error set on anything else, including
    // truncated or malformed files and compressed video.
    bool open(const std::string& path, std::string& error);
    // The same through a copy of the open descriptor fd (read with pread, so fd's offset is
    // left alone); name is only used in messages.
    bool openDescriptor(int fd, const std::string& name, std::string& error);

    int width() const { return format_.width; }
    int height() const { return format_.height < 0 ? -format_.height : format_.height; }
    int bitsPerPixel() const { return format_.bits; }
    std::uint32_t rate() const { return rate_; }
    std::uint32_t scale() const { return scale_; }
    // Samples of the stream: the header's length, or the listed samples if there are more.
    std::uint32_t length() const { return length_; }

    // Frames are the non-empty samples, in order.
    int frameCount() const { return static_cast<int>(frames_.size()); }
    std::uint32_t frameSample(int i) const { return frames_[static_cast<std::size_t>(i)].sample; }
    bool isKeyFrame(int i) const { return frames_[static_cast<std::size_t>(i)].key; }
    // The frame shown at a sample: the last frame at or before it; -1 before the first.
    int frameAtSample(std::uint32_t sample) const;

    // Frame i (0 <= i < frameCount()) as a packed bitmap with the stream's format.
    std::optional<exporter::PackedDib> readFrame(int i, std::string& error) const;

private:
    struct Frame {
        std::uint32_t sample = 0;
        std::uint64_t offset = 0; // of the chunk's header
        std::uint32_t size = 0;
        bool key = false;
    };
    struct Walk;
    void reset();
    bool readOpened(const std::string& path, std::string& error);
    bool walkTop(Walk& walk, std::uint64_t end);
    bool readHeaderList(Walk& walk, std::uint64_t begin, std::uint64_t end);
    bool readStream(Walk& walk, std::uint64_t begin, std::uint64_t end);
    void takeFormat(Walk& walk, const std::uint8_t* strh, const std::vector<std::uint8_t>& format);
    void checkWalk(Walk& walk);
    bool readIndex(const Walk& walk);
    std::optional<std::uint64_t> indexBase(const Walk& walk, const std::uint8_t* entry);
    bool scanMovi(std::uint64_t begin, std::uint64_t end, int depth);
    bool addSample(std::uint64_t offset, std::uint32_t size, bool key);

    int fd_ = -1;
    int videoStream_ = -1;
    exporter::DibLayout format_;
    std::vector<std::uint8_t> formatBytes_; // header and colour table
    std::uint32_t samples_ = 0;             // listed so far
    std::uint32_t rate_ = 0;
    std::uint32_t scale_ = 0;
    std::uint32_t length_ = 0;
    std::vector<Frame> frames_;
};

} // namespace lv::render
