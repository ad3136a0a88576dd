#include "render/avi_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "export/little_endian.h"
#include "export/replacing_file.h"

namespace lv::render {

using exporter::PackedDib;
using exporter::putTag;
using exporter::putU16;
using exporter::putU32;
using exporter::readU32;
using exporter::writeU32At;

namespace {

constexpr std::uint64_t kMaxFileSize = 0x7FFFFFFF;
constexpr std::uint32_t kHasIndex = 0x10; // avih flag: the file ends with "idx1"
constexpr std::uint32_t kKeyFrame = 0x10; // index flag
constexpr std::uint32_t kIndexEntrySize = 16;
constexpr std::uint32_t kEmptySamples = kSamplesPerFrame - 1;
constexpr std::uint32_t kMaxIndexBytes = 64u << 20;
constexpr std::uint32_t kMaxFormatBytes = 1u << 20;
constexpr std::size_t kMaxFrames = 1u << 20;
constexpr char kFrameTag[] = "00db";

struct FilmShape {
    std::vector<std::uint8_t> format; // header and colour table of the first frame
    int width = 0;
    int height = 0;
    int bits = 0;
    std::uint32_t imageSize = 0;
};

struct IndexEntry {
    std::uint32_t flags = 0;
    std::uint32_t offset = 0; // from the "movi" tag
    std::uint32_t size = 0;
};

std::uint32_t padded(std::uint32_t size) {
    return size + (size & 1);
}

// Everything before the first frame chunk, up to and including the "movi" list tag.
std::vector<std::uint8_t> headerBytes(const FilmShape& shape, std::uint32_t length,
                                      std::uint32_t riffSize, std::uint32_t moviSize) {
    std::vector<std::uint8_t> h;
    putTag(h, "RIFF"), putU32(h, riffSize), putTag(h, "AVI ");
    putTag(h, "LIST"), putU32(h, 0), putTag(h, "hdrl");
    putTag(h, "avih"), putU32(h, 56);
    putU32(h, 1000000 / kFilmRate + 1); // microseconds per sample, rounded
    putU32(h, static_cast<std::uint32_t>(std::min<std::uint64_t>(
                  std::uint64_t{shape.imageSize} * kFilmRate / kSamplesPerFrame + 1, UINT32_MAX)));
    putU32(h, 0), putU32(h, kHasIndex), putU32(h, length), putU32(h, 0), putU32(h, 1);
    putU32(h, shape.imageSize);
    putU32(h, static_cast<std::uint32_t>(shape.width));
    putU32(h, static_cast<std::uint32_t>(shape.height));
    putU32(h, 0), putU32(h, 0), putU32(h, 0), putU32(h, 0);
    const std::size_t strl = h.size();
    putTag(h, "LIST"), putU32(h, 0), putTag(h, "strl");
    putTag(h, "strh"), putU32(h, 56);
    putTag(h, "vids"), putU32(h, 0), putU32(h, 0), putU16(h, 0), putU16(h, 0), putU32(h, 0);
    putU32(h, kFilmScale), putU32(h, kFilmRate), putU32(h, 0), putU32(h, length);
    putU32(h, shape.imageSize), putU32(h, UINT32_MAX), putU32(h, 0);
    putU16(h, 0), putU16(h, 0);
    putU16(h, static_cast<std::uint32_t>(std::min(shape.width, 0x7FFF)));
    putU16(h, static_cast<std::uint32_t>(std::min(shape.height, 0x7FFF)));
    putTag(h, "strf"), putU32(h, static_cast<std::uint32_t>(shape.format.size()));
    h.insert(h.end(), shape.format.begin(), shape.format.end());
    if (h.size() % 2 != 0) {
        h.push_back(0);
    }
    writeU32At(h, 16, static_cast<std::uint32_t>(h.size() - 20));
    writeU32At(h, strl + 4, static_cast<std::uint32_t>(h.size() - strl - 8));
    putTag(h, "LIST"), putU32(h, moviSize), putTag(h, "movi");
    return h;
}

// Appends chunks at increasing offsets of a descriptor and keeps the index of samples.
class FilmOutput {
public:
    FilmOutput(int fd, std::uint64_t moviTag) : fd_(fd), moviTag_(moviTag), pos_(moviTag + 4) {}

    bool fits(std::uint32_t imageSize) const {
        const std::uint64_t afterFrame = pos_ + 8 + padded(imageSize) + 8 * kEmptySamples;
        const std::uint64_t index = (index_.size() + kSamplesPerFrame) * kIndexEntrySize + 8;
        return afterFrame + index <= kMaxFileSize;
    }

    bool frame(std::span<const std::uint8_t> bits) {
        const auto size = static_cast<std::uint32_t>(bits.size());
        std::vector<std::uint8_t> head;
        putTag(head, kFrameTag), putU32(head, size);
        index_.push_back({kKeyFrame, static_cast<std::uint32_t>(pos_ - moviTag_), size});
        const std::uint8_t pad = 0;
        return put(head.data(), head.size()) && put(bits.data(), bits.size()) &&
               put(&pad, size & 1);
    }

    bool emptySamples(std::uint32_t count) {
        std::vector<std::uint8_t> chunks;
        for (std::uint32_t i = 0; i < count; ++i) {
            index_.push_back({0, static_cast<std::uint32_t>(pos_ + chunks.size() - moviTag_), 0});
            putTag(chunks, kFrameTag), putU32(chunks, 0);
        }
        return put(chunks.data(), chunks.size());
    }

    // Writes the index and then the final header over the file's start.
    bool finish(const FilmShape& shape) {
        const std::uint64_t moviEnd = pos_;
        std::vector<std::uint8_t> idx;
        putTag(idx, "idx1"), putU32(idx, static_cast<std::uint32_t>(index_.size() * 16));
        for (const IndexEntry& e : index_) {
            putTag(idx, kFrameTag), putU32(idx, e.flags), putU32(idx, e.offset),
                putU32(idx, e.size);
        }
        if (!put(idx.data(), idx.size())) {
            return false;
        }
        const std::vector<std::uint8_t> head = headerBytes(
            shape, static_cast<std::uint32_t>(index_.size()), static_cast<std::uint32_t>(pos_ - 8),
            static_cast<std::uint32_t>(moviEnd - moviTag_));
        return exporter::writeAllAt(fd_, head.data(), head.size(), 0);
    }

private:
    bool put(const void* data, std::size_t size) {
        if (!exporter::writeAllAt(fd_, data, size, pos_)) {
            return false;
        }
        pos_ += size;
        return true;
    }

    int fd_;
    std::uint64_t moviTag_;
    std::uint64_t pos_;
    std::vector<IndexEntry> index_;
};

FilmShape shapeOf(const PackedDib& frame) {
    FilmShape shape;
    shape.format.assign(frame.block().begin(), frame.block().begin() + frame.bitsOffset());
    shape.width = frame.width();
    shape.height = frame.height();
    shape.bits = frame.bitsPerPixel();
    shape.imageSize = frame.imageSize();
    return shape;
}

bool sameShape(const FilmShape& shape, const PackedDib& frame) {
    return frame.width() == shape.width && frame.height() == shape.height &&
           frame.bitsPerPixel() == shape.bits && frame.imageSize() == shape.imageSize &&
           frame.bitsOffset() == shape.format.size();
}

std::string writeFailure() {
    return std::string("cannot write the film: ") + std::strerror(errno);
}

} // namespace

bool writeAvi(int fd, const FrameSource& frames, std::string& error) {
    std::optional<PackedDib> frame = frames();
    if (!frame) {
        error = "there are no frames for the film";
        return false;
    }
    const FilmShape shape = shapeOf(*frame);
    const std::vector<std::uint8_t> head = headerBytes(shape, 0, 0, 0);
    if (!exporter::writeAllAt(fd, head.data(), head.size(), 0)) {
        error = writeFailure();
        return false;
    }
    FilmOutput out(fd, head.size() - 4);
    for (int i = 1; frame; ++i, frame = frames()) {
        if (!sameShape(shape, *frame)) {
            error = "frame " + std::to_string(i) + " differs in size or depth from the first";
            return false;
        }
        if (!out.fits(shape.imageSize)) {
            error = "the film would be larger than 2 GiB";
            return false;
        }
        if (!out.frame(frame->bits()) || !out.emptySamples(kEmptySamples)) {
            error = writeFailure();
            return false;
        }
    }
    if (!out.finish(shape)) {
        error = writeFailure();
        return false;
    }
    return true;
}

bool writeAviFile(const std::string& path, const FrameSource& frames, std::string& error) {
    exporter::ReplacingFile file;
    if (!file.open(path, error)) {
        return false;
    }
    if (!writeAvi(file.fd(), frames, error)) {
        error = "'" + path + "': " + error;
        return false;
    }
    return file.commit(error);
}

FrameSource framesOf(std::vector<PackedDib> frames) {
    struct List {
        std::vector<PackedDib> frames;
        std::size_t next = 0;
    };
    auto list = std::make_shared<List>(List{std::move(frames), 0});
    return [list]() -> std::optional<PackedDib> {
        if (list->next >= list->frames.size()) {
            return std::nullopt;
        }
        return std::move(list->frames[list->next++]);
    };
}

// ---- reading ----

namespace {

bool readAt(int fd, std::uint64_t offset, void* out, std::size_t size) {
    auto* p = static_cast<std::uint8_t*>(out);
    while (size > 0) {
        const ssize_t n = ::pread(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

struct Chunk {
    char id[4] = {};
    char listType[4] = {}; // for "LIST" and "RIFF" chunks
    std::uint64_t data = 0;
    std::uint64_t size = 0; // clipped to the enclosing range
    bool truncated = false;

    bool is(const char* tag) const { return std::memcmp(id, tag, 4) == 0; }
    bool isList(const char* type) const {
        return is("LIST") && size >= 4 && std::memcmp(listType, type, 4) == 0;
    }
};

// Calls visit for each chunk of [begin, end) until it returns false. A chunk running past end
// is passed clipped and marked truncated, and ends the walk. False on a read error.
template <typename Visit>
bool walkChunks(int fd, std::uint64_t begin, std::uint64_t end, Visit&& visit) {
    std::uint64_t pos = begin;
    while (pos + 8 <= end) {
        std::uint8_t h[12] = {};
        const bool withType = pos + 12 <= end;
        if (!readAt(fd, pos, h, withType ? 12 : 8)) {
            return false;
        }
        Chunk c;
        std::memcpy(c.id, h, 4);
        std::memcpy(c.listType, h + 8, 4);
        const std::uint64_t declared = readU32(h + 4);
        c.data = pos + 8;
        c.truncated = declared > end - c.data;
        c.size = c.truncated ? end - c.data : declared;
        if (!visit(c) || c.truncated) {
            return true;
        }
        pos = c.data + declared + (declared & 1);
    }
    return true;
}

bool streamChunk(const char* id, int stream) {
    return id[0] == '0' + stream / 10 && id[1] == '0' + stream % 10 && id[2] == 'd' &&
           (id[3] == 'b' || id[3] == 'c');
}

} // namespace

// What open learns while walking the file.
struct AviReader::Walk {
    int streams = 0;
    int video = -1;
    std::uint64_t fileSize = 0;
    std::uint64_t moviTag = 0;
    std::uint64_t moviEnd = 0;
    std::uint64_t indexData = 0;
    std::uint64_t indexSize = 0;
    bool hasMovi = false;
    bool hasIndex = false;
    std::string error;
};

AviReader::~AviReader() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int AviReader::frameAtSample(std::uint32_t sample) const {
    const auto after =
        std::upper_bound(frames_.begin(), frames_.end(), sample,
                         [](std::uint32_t s, const Frame& f) { return s < f.sample; });
    return static_cast<int>(after - frames_.begin()) - 1;
}

std::optional<PackedDib> AviReader::readFrame(int i, std::string& error) const {
    if (fd_ < 0 || i < 0 || i >= frameCount()) {
        error = "no such frame";
        return std::nullopt;
    }
    const Frame& f = frames_[static_cast<std::size_t>(i)];
    std::uint8_t head[8];
    if (!readAt(fd_, f.offset, head, 8) ||
        !streamChunk(reinterpret_cast<char*>(head), videoStream_) || readU32(head + 4) != f.size) {
        error = "frame " + std::to_string(i + 1) + " is not where the index puts it";
        return std::nullopt;
    }
    if (f.size < format_.imageSize) {
        error = "frame " + std::to_string(i + 1) + " is smaller than the film's image size";
        return std::nullopt;
    }
    std::vector<std::uint8_t> block = formatBytes_;
    const std::size_t bitsAt = block.size();
    block.resize(bitsAt + format_.imageSize);
    if (!readAt(fd_, f.offset + 8, block.data() + bitsAt, format_.imageSize)) {
        error = "frame " + std::to_string(i + 1) + " is cut short";
        return std::nullopt;
    }
    return PackedDib::fromBlock(std::move(block));
}

bool AviReader::open(const std::string& path, std::string& error) {
    reset();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); // no wait on a FIFO
    return readOpened(path, error);
}

bool AviReader::openDescriptor(int fd, const std::string& name, std::string& error) {
    reset();
    fd_ = fd >= 0 ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1;
    return readOpened(name, error);
}

bool AviReader::readOpened(const std::string& path, std::string& error) {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "cannot open '" + path + "': " + std::strerror(fd_ < 0 ? errno : EINVAL);
        reset();
        return false;
    }
    Walk walk;
    walk.fileSize = static_cast<std::uint64_t>(st.st_size);
    std::uint8_t riff[12];
    if (walk.fileSize < 12 || !readAt(fd_, 0, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "AVI ", 4) != 0) {
        walk.error = "not an AVI file";
    } else if (!walkTop(walk, std::min<std::uint64_t>(walk.fileSize, 8ull + readU32(riff + 4)))) {
        walk.error = std::string("read error: ") + std::strerror(errno);
    } else if (walk.error.empty()) {
        checkWalk(walk);
    }
    if (!walk.error.empty()) {
        error = "'" + path + "': " + walk.error;
        reset();
        return false;
    }
    return true;
}

void AviReader::reset() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    videoStream_ = -1;
    format_ = {};
    formatBytes_.clear();
    rate_ = scale_ = length_ = samples_ = 0;
    frames_.clear();
}

bool AviReader::walkTop(Walk& walk, std::uint64_t end) {
    return walkChunks(fd_, 12, end, [&](const Chunk& c) {
        if (c.isList("hdrl") && videoStream_ < 0) {
            return readHeaderList(walk, c.data + 4, c.data + c.size) && walk.error.empty();
        }
        if (c.isList("movi") && !walk.hasMovi) {
            walk.hasMovi = true;
            walk.moviTag = c.data;
            walk.moviEnd = c.data + c.size;
        } else if (c.is("idx1") && !c.truncated && !walk.hasIndex) {
            walk.hasIndex = true;
            walk.indexData = c.data;
            walk.indexSize = c.size;
        }
        return true;
    });
}

bool AviReader::readHeaderList(Walk& walk, std::uint64_t begin, std::uint64_t end) {
    return walkChunks(fd_, begin, end, [&](const Chunk& c) {
        if (!c.isList("strl")) {
            return true;
        }
        const bool read = readStream(walk, c.data + 4, c.data + c.size);
        ++walk.streams;
        return read && walk.error.empty();
    });
}

// Takes the stream when it is the first video stream: its rate, scale, length and format.
bool AviReader::readStream(Walk& walk, std::uint64_t begin, std::uint64_t end) {
    std::uint8_t strh[36] = {};
    bool video = false;
    const bool read = walkChunks(fd_, begin, end, [&](const Chunk& c) {
        if (c.is("strh") && c.size >= sizeof strh) {
            if (!readAt(fd_, c.data, strh, sizeof strh)) {
                return false;
            }
            video = std::memcmp(strh, "vids", 4) == 0 && videoStream_ < 0 && walk.streams < 100;
            return true;
        }
        if (!c.is("strf") || !video) {
            return true;
        }
        std::vector<std::uint8_t> format(std::min<std::size_t>(c.size, kMaxFormatBytes));
        if (c.size > kMaxFormatBytes || !readAt(fd_, c.data, format.data(), format.size())) {
            walk.error = "unreadable video format";
            return false;
        }
        takeFormat(walk, strh, format);
        return false;
    });
    return read;
}

void AviReader::takeFormat(Walk& walk, const std::uint8_t* strh,
                           const std::vector<std::uint8_t>& format) {
    const std::optional<exporter::DibLayout> layout = exporter::readDibLayout(format);
    if (!layout) {
        walk.error = "unsupported video format (only uncompressed bitmaps are read)";
    } else if (readU32(strh + 20) == 0 || readU32(strh + 24) == 0) {
        walk.error = "the video stream has no rate";
    } else if (layout->imageSize > walk.fileSize) {
        walk.error = "the frame size is larger than the file";
    } else {
        videoStream_ = walk.streams;
        format_ = *layout;
        formatBytes_.assign(format.begin(), format.begin() + layout->bitsOffset());
        if (layout->headerSize >= 40) {
            exporter::writeU32At(formatBytes_, 20, layout->imageSize);
        }
        scale_ = readU32(strh + 20);
        rate_ = readU32(strh + 24);
        length_ = readU32(strh + 32);
    }
}

void AviReader::checkWalk(Walk& walk) {
    if (videoStream_ < 0) {
        walk.error = "no video stream";
        return;
    }
    if (!walk.hasMovi) {
        walk.error = "no frame data";
        return;
    }
    if (!walk.hasIndex || !readIndex(walk)) {
        frames_.clear();
        samples_ = 0;
        if (!scanMovi(walk.moviTag + 4, walk.moviEnd, 0)) {
            walk.error = "unreadable frame list";
            return;
        }
    }
    length_ = std::max(length_, samples_);
}

// Lists the samples from "idx1", whose offsets count from the "movi" tag or, in some writers,
// from the file's start. False when the index is unusable or lists no sample of the stream.
bool AviReader::readIndex(const Walk& walk) {
    if (walk.indexSize > kMaxIndexBytes) {
        return false;
    }
    std::vector<std::uint8_t> index(static_cast<std::size_t>(walk.indexSize));
    if (!readAt(fd_, walk.indexData, index.data(), index.size())) {
        return false;
    }
    std::optional<std::uint64_t> base;
    for (std::size_t at = 0; at + kIndexEntrySize <= index.size(); at += kIndexEntrySize) {
        const std::uint8_t* e = index.data() + at;
        if (!streamChunk(reinterpret_cast<const char*>(e), videoStream_)) {
            continue;
        }
        if (!base && !(base = indexBase(walk, e))) {
            return false;
        }
        const std::uint64_t offset = *base + readU32(e + 8);
        const std::uint32_t size = readU32(e + 12);
        if (offset + 8 + size > walk.fileSize ||
            !addSample(offset, size, (readU32(e + 4) & kKeyFrame) != 0)) {
            return false;
        }
    }
    return samples_ > 0;
}

std::optional<std::uint64_t> AviReader::indexBase(const Walk& walk, const std::uint8_t* entry) {
    for (const std::uint64_t base : {walk.moviTag, std::uint64_t{0}}) {
        std::uint8_t id[4];
        if (readAt(fd_, base + readU32(entry + 8), id, 4) && std::memcmp(id, entry, 4) == 0) {
            return base;
        }
    }
    return std::nullopt;
}

// Lists the samples in the order their chunks appear, looking into "rec " lists; a chunk cut
// short by the file's end ends the list. Without an index every frame counts as a key frame.
bool AviReader::scanMovi(std::uint64_t begin, std::uint64_t end, int depth) {
    bool ok = true;
    const bool read = walkChunks(fd_, begin, end, [&](const Chunk& c) {
        if (c.isList("rec ") && depth < 4) {
            return ok = scanMovi(c.data + 4, c.data + c.size, depth + 1);
        }
        if (streamChunk(c.id, videoStream_) && !c.truncated) {
            return ok = addSample(c.data - 8, static_cast<std::uint32_t>(c.size), true);
        }
        return true;
    });
    return read && ok;
}

bool AviReader::addSample(std::uint64_t offset, std::uint32_t size, bool key) {
    if (samples_ == UINT32_MAX || (size > 0 && frames_.size() >= kMaxFrames)) {
        return false;
    }
    if (size > 0) {
        frames_.push_back({samples_, offset, size, key});
    }
    ++samples_;
    return true;
}

} // namespace lv::render
