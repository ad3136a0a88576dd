#include "export/packed_dib.h"

#include <cstring>

#include "export/little_endian.h"

namespace lv::exporter {
namespace {

constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kMaxHeaderSize = 124;
constexpr std::uint64_t kMaxImageBytes = 1ull << 30;
constexpr std::uint32_t kMaxColours = 65536;

std::uint64_t strideFor(std::uint64_t width, int bits) {
    return (width * static_cast<std::uint64_t>(bits) + 31) / 32 * 4;
}

bool validDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

} // namespace

std::uint32_t dibColourCount(std::uint32_t headerSize, int bitsPerPixel,
                             std::uint32_t coloursUsed) {
    if (headerSize != kCoreHeaderSize && coloursUsed != 0) {
        return coloursUsed;
    }
    switch (bitsPerPixel) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

std::optional<PackedDib> PackedDib::fromPixels(int width, int height,
                                               std::span<const std::uint8_t> pixels, RowOrder rows,
                                               ChannelOrder channels) {
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    const std::uint64_t count =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (count * 4 > kMaxImageBytes || pixels.size() < count * 4) {
        return std::nullopt;
    }
    const auto imageSize = static_cast<std::uint32_t>(count * 4);
    std::vector<std::uint8_t> block;
    block.reserve(kInfoHeaderSize + imageSize);
    putU32(block, kInfoHeaderSize);
    putU32(block, static_cast<std::uint32_t>(width));
    putU32(block, static_cast<std::uint32_t>(height));
    putU16(block, 1);  // planes
    putU16(block, 32); // bits per pixel
    putU32(block, 0);  // uncompressed
    putU32(block, imageSize);
    for (int i = 0; i < 4; ++i) { // resolutions, colours used, important colours
        putU32(block, 0);
    }
    block.resize(kInfoHeaderSize + imageSize);
    const bool rgba = channels == ChannelOrder::Rgba;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        const int source = rows == RowOrder::BottomUp ? y : height - 1 - y;
        const std::uint8_t* in = pixels.data() + static_cast<std::size_t>(source) * rowBytes;
        std::uint8_t* out = block.data() + kInfoHeaderSize + static_cast<std::size_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x, in += 4, out += 4) {
            out[0] = rgba ? in[2] : in[0];
            out[1] = in[1];
            out[2] = rgba ? in[0] : in[2];
            out[3] = 255;
        }
    }
    PackedDib dib;
    dib.block_ = std::move(block);
    dib.parse();
    return dib;
}

std::optional<PackedDib> PackedDib::fromBlock(std::vector<std::uint8_t> block) {
    PackedDib dib;
    dib.block_ = std::move(block);
    if (!dib.parse()) {
        return std::nullopt;
    }
    return dib;
}

std::optional<DibLayout> readDibLayout(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 4) {
        return std::nullopt;
    }
    const std::uint8_t* h = bytes.data();
    DibLayout l;
    l.headerSize = readU32(h);
    std::uint32_t coloursUsed = 0;
    std::uint32_t declaredSize = 0;
    if (l.headerSize == kCoreHeaderSize && bytes.size() >= kCoreHeaderSize) {
        l.width = readU16(h + 4);
        l.height = readU16(h + 6);
        l.bits = readU16(h + 10);
        if (readU16(h + 8) != 1) {
            return std::nullopt;
        }
    } else if (l.headerSize >= kInfoHeaderSize && l.headerSize <= kMaxHeaderSize &&
               bytes.size() >= l.headerSize) {
        l.width = readI32(h + 4);
        l.height = readI32(h + 8);
        l.bits = readU16(h + 14);
        if (readU16(h + 12) != 1 || readU32(h + 16) != 0) {
            return std::nullopt;
        }
        declaredSize = readU32(h + 20);
        coloursUsed = readU32(h + 32);
    } else {
        return std::nullopt;
    }
    if (l.width <= 0 || l.height == 0 || l.height == INT32_MIN || !validDepth(l.bits)) {
        return std::nullopt;
    }
    l.colours = dibColourCount(l.headerSize, l.bits, coloursUsed);
    const std::uint64_t rows = static_cast<std::uint64_t>(l.height < 0 ? -l.height : l.height);
    const std::uint64_t computed = strideFor(static_cast<std::uint64_t>(l.width), l.bits) * rows;
    if (l.colours > kMaxColours || computed > kMaxImageBytes || declaredSize > kMaxImageBytes ||
        (declaredSize != 0 && declaredSize < computed)) {
        return std::nullopt;
    }
    l.colourTableSize = l.colours * (l.headerSize == kCoreHeaderSize ? 3u : 4u);
    l.imageSize = declaredSize != 0 ? declaredSize : static_cast<std::uint32_t>(computed);
    if (bytes.size() < l.bitsOffset()) {
        return std::nullopt;
    }
    return l;
}

// Checks the block, fills in a missing image size and trims the block to header, colour table
// and bits.
bool PackedDib::parse() {
    const std::optional<DibLayout> layout = readDibLayout(block_);
    if (!layout) {
        return false;
    }
    layout_ = *layout;
    const std::uint64_t total = std::uint64_t{layout_.bitsOffset()} + layout_.imageSize;
    if (block_.size() < total) {
        return false;
    }
    block_.resize(static_cast<std::size_t>(total));
    if (layout_.headerSize != kCoreHeaderSize && readU32(block_.data() + 20) == 0) {
        writeU32At(block_, 20, layout_.imageSize);
    }
    return true;
}

std::uint32_t PackedDib::rowStride() const {
    return static_cast<std::uint32_t>(
        strideFor(static_cast<std::uint64_t>(width()), bitsPerPixel()));
}

std::span<const std::uint8_t> PackedDib::bits() const {
    return std::span<const std::uint8_t>(block_).subspan(bitsOffset(), imageSize());
}

std::vector<std::uint8_t> PackedDib::toRgba() const {
    const std::size_t w = static_cast<std::size_t>(width());
    const std::size_t h = static_cast<std::size_t>(height());
    std::vector<std::uint8_t> out(w * h * 4, 255);
    const int bits = bitsPerPixel();
    const std::uint8_t* table = block_.data() + headerSize();
    const std::uint32_t entry = headerSize() == kCoreHeaderSize ? 3 : 4;
    for (std::size_t y = 0; y < h; ++y) {
        const std::size_t stored = bottomUp() ? h - 1 - y : y;
        const std::uint8_t* row = block_.data() + bitsOffset() + stored * rowStride();
        std::uint8_t* o = out.data() + y * w * 4;
        for (std::size_t x = 0; x < w; ++x, o += 4) {
            std::uint8_t b = 0, g = 0, r = 0;
            if (bits >= 24) {
                const std::uint8_t* p = row + x * static_cast<std::size_t>(bits / 8);
                b = p[0], g = p[1], r = p[2];
            } else if (bits == 16) { // 5-5-5, blue in the low bits
                const unsigned v = readU16(row + x * 2);
                b = static_cast<std::uint8_t>((v & 31) * 255 / 31);
                g = static_cast<std::uint8_t>(((v >> 5) & 31) * 255 / 31);
                r = static_cast<std::uint8_t>(((v >> 10) & 31) * 255 / 31);
            } else {
                const std::size_t bit = x * static_cast<std::size_t>(bits);
                const unsigned mask = (1u << bits) - 1;
                const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & mask;
                if (index < colourCount()) {
                    const std::uint8_t* c = table + index * entry;
                    b = c[0], g = c[1], r = c[2];
                }
            }
            o[0] = r, o[1] = g, o[2] = b;
        }
    }
    return out;
}

} // namespace lv::exporter
