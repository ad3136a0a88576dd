#pragma once
// A captured image as one packed device-independent bitmap: the bitmap information header, its
// colour table and the pixel bits in one block, byte for byte as a bitmap file stores them after
// its 14-byte file header.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace lv::exporter {

enum class RowOrder { BottomUp, TopDown };
enum class ChannelOrder { Rgba, Bgra };

// Colours in the table of a header: for the 12-byte core header by its bit count; otherwise
// coloursUsed when it is not 0; else 2, 16 or 256 for 1, 4 or 8 bits per pixel and 0 for any
// other depth.
std::uint32_t dibColourCount(std::uint32_t headerSize, int bitsPerPixel, std::uint32_t coloursUsed);

// The fields of a header with its colour table, as checked by readDibLayout.
struct DibLayout {
    std::uint32_t headerSize = 0;
    int width = 0;
    int height = 0; // negative: top-down rows
    int bits = 0;
    std::uint32_t colours = 0;
    std::uint32_t colourTableSize = 0; // 3 bytes a colour after a core header, 4 otherwise
    std::uint32_t imageSize = 0;       // the header's, or the computed size when it says 0

    std::uint32_t bitsOffset() const { return headerSize + colourTableSize; }
};

// Reads the header at the start of bytes and checks it: a 12-byte core header or one of 40 to
// 124 bytes, width > 0, height != 0, planes 1, 1/4/8/16/24/32 bits per pixel, no compression,
// at most 65536 colours, bits of at most 1 GiB and no fewer than the rows need, and the colour
// table within bytes. The bits themselves need not be there.
std::optional<DibLayout> readDibLayout(std::span<const std::uint8_t> bytes);

class PackedDib {
public:
    // The capture format: 40-byte header, no colour table, 32 bits per pixel stored as blue,
    // green, red, 255 (the fourth byte is unused; 255 keeps the image opaque for readers that
    // take it as alpha), uncompressed, bottom-up rows (positive height). pixels holds width ×
    // height 4-byte pixels without row padding, rows in the order given; glReadPixels with
    // GL_RGBA and the default pack alignment yields Rgba rows BottomUp. The source alpha is
    // dropped. Nothing when a size is not positive, the bits would exceed 1 GiB or pixels is
    // shorter than the image.
    static std::optional<PackedDib> fromPixels(int width, int height,
                                               std::span<const std::uint8_t> pixels, RowOrder rows,
                                               ChannelOrder channels);

    // Takes a whole block whose header passes readDibLayout and which holds the bits. An image
    // size of 0 in the header is replaced by the computed one; bytes past the bits are dropped.
    // Nothing when a check fails.
    static std::optional<PackedDib> fromBlock(std::vector<std::uint8_t> block);

    const std::vector<std::uint8_t>& block() const { return block_; }
    const DibLayout& layout() const { return layout_; }
    int width() const { return layout_.width; }
    int height() const { return layout_.height < 0 ? -layout_.height : layout_.height; }
    bool bottomUp() const { return layout_.height > 0; }
    int bitsPerPixel() const { return layout_.bits; }
    std::uint32_t headerSize() const { return layout_.headerSize; }
    std::uint32_t colourCount() const { return layout_.colours; }
    std::uint32_t colourTableSize() const { return layout_.colourTableSize; }
    std::uint32_t imageSize() const { return layout_.imageSize; }
    // Where the pixel bits start in the block: header + colour table.
    std::uint32_t bitsOffset() const { return layout_.bitsOffset(); }
    std::uint32_t rowStride() const;
    std::span<const std::uint8_t> bits() const;

    // The pixels as R, G, B, A bytes (alpha 255), top row first, rows unpadded. Colour indices
    // past the table read as black.
    std::vector<std::uint8_t> toRgba() const;

private:
    PackedDib() = default;
    bool parse();

    std::vector<std::uint8_t> block_;
    DibLayout layout_;
};

} // namespace lv::exporter
