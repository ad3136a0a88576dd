#include "export/image_files.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_dir.h"
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "export/little_endian.h"

namespace lv::exporter {
namespace {

namespace fs = std::filesystem;

class ImageFilesTest : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return scratch_.file(name); }
    test::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
};


// A w × h image, top row first, whose pixel (x, y) is (10x + 1, 20y + 2, x + y + 3).
std::vector<std::uint8_t> gradientRgba(int w, int h) {
    std::vector<std::uint8_t> p;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.insert(p.end(),
                     {static_cast<std::uint8_t>(10 * x + 1), static_cast<std::uint8_t>(20 * y + 2),
                      static_cast<std::uint8_t>(x + y + 3), 77});
        }
    }
    return p;
}

PackedDib gradient(int w, int h) {
    return *PackedDib::fromPixels(w, h, gradientRgba(w, h), RowOrder::TopDown, ChannelOrder::Rgba);
}

// A 40-byte header with the given depth and colours, then table and bits as zeros.
std::vector<std::uint8_t> infoBlock(int w, int h, int bits, std::uint32_t coloursUsed,
                                    std::uint32_t imageSize, std::size_t tableAndBits) {
    std::vector<std::uint8_t> b;
    putU32(b, 40), putU32(b, static_cast<std::uint32_t>(w)),
        putU32(b, static_cast<std::uint32_t>(h));
    putU16(b, 1), putU16(b, static_cast<std::uint32_t>(bits)), putU32(b, 0), putU32(b, imageSize);
    putU32(b, 0), putU32(b, 0), putU32(b, coloursUsed), putU32(b, 0);
    b.resize(b.size() + tableAndBits);
    return b;
}

bool haveFfmpeg() {
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

// Decodes an image file with ffmpeg into RGB bytes, top row first.
std::vector<std::uint8_t> ffmpegRgb(const std::string& image, const std::string& raw) {
    const std::string command =
        "ffmpeg -v error -y -i '" + image + "' -f rawvideo -pix_fmt rgb24 '" + raw + "'";
    return std::system(command.c_str()) == 0 ? test::readBytes(raw) : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> rgbOf(const std::vector<std::uint8_t>& rgba) {
    std::vector<std::uint8_t> rgb;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        rgb.insert(rgb.end(), rgba.begin() + static_cast<long>(i),
                   rgba.begin() + static_cast<long>(i) + 3);
    }
    return rgb;
}

TEST(PackedDib, CaptureIsA32BitBottomUpBlockWithoutColourTable) {
    const PackedDib dib = gradient(3, 2);
    const std::vector<std::uint8_t>& b = dib.block();
    ASSERT_EQ(b.size(), 40u + 24u);
    EXPECT_EQ(readU32(&b[0]), 40u);
    EXPECT_EQ(readI32(&b[4]), 3);
    EXPECT_EQ(readI32(&b[8]), 2); // positive: bottom-up
    EXPECT_EQ(readU16(&b[12]), 1);
    EXPECT_EQ(readU16(&b[14]), 32);
    EXPECT_EQ(readU32(&b[16]), 0u);
    EXPECT_EQ(readU32(&b[20]), 24u);
    for (int at = 24; at < 40; at += 4) {
        EXPECT_EQ(readU32(&b[static_cast<std::size_t>(at)]), 0u);
    }
    // The first stored row is the bottom one (y = 1): blue, green, red, 255.
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 40, b.begin() + 48),
              (std::vector<std::uint8_t>{4, 22, 1, 255, 5, 22, 11, 255}));
    EXPECT_EQ(dib.bitsOffset(), 40u);
    EXPECT_EQ(dib.colourCount(), 0u);
}

TEST(PackedDib, RowAndChannelOrdersDescribeTheSameImage) {
    const std::vector<std::uint8_t> topDown = gradientRgba(4, 3);
    std::vector<std::uint8_t> bottomUpBgra;
    for (int y = 2; y >= 0; --y) {
        for (int x = 0; x < 4; ++x) {
            const std::uint8_t* p = &topDown[static_cast<std::size_t>((y * 4 + x) * 4)];
            bottomUpBgra.insert(bottomUpBgra.end(), {p[2], p[1], p[0], p[3]});
        }
    }
    const auto other =
        PackedDib::fromPixels(4, 3, bottomUpBgra, RowOrder::BottomUp, ChannelOrder::Bgra);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->block(), gradient(4, 3).block());
    std::vector<std::uint8_t> expected = topDown;
    for (std::size_t i = 3; i < expected.size(); i += 4) {
        expected[i] = 255;
    }
    EXPECT_EQ(other->toRgba(), expected);
}

TEST(PackedDib, RefusesBadSizesAndShortBuffers) {
    const std::vector<std::uint8_t> pixels(4 * 4 * 4);
    EXPECT_FALSE(PackedDib::fromPixels(0, 4, pixels, RowOrder::BottomUp, ChannelOrder::Rgba));
    EXPECT_FALSE(PackedDib::fromPixels(4, -1, pixels, RowOrder::BottomUp, ChannelOrder::Rgba));
    EXPECT_FALSE(PackedDib::fromPixels(4, 5, pixels, RowOrder::BottomUp, ChannelOrder::Rgba));
    EXPECT_FALSE(
        PackedDib::fromPixels(1 << 15, 1 << 15, pixels, RowOrder::BottomUp, ChannelOrder::Rgba));
}

TEST(PackedDib, BlocksOfOtherDepthsFollowTheColourTableRules) {
    // 8 bits: 256 colours of 4 bytes; rows of 3 pixels padded to 4 bytes.
    auto eight = PackedDib::fromBlock(infoBlock(3, 2, 8, 0, 0, 1024 + 8 + 100));
    ASSERT_TRUE(eight);
    EXPECT_EQ(eight->colourCount(), 256u);
    EXPECT_EQ(eight->bitsOffset(), 1064u);
    EXPECT_EQ(eight->imageSize(), 8u);            // computed when the header says 0
    EXPECT_EQ(readU32(&eight->block()[20]), 8u);  // and written into the header
    EXPECT_EQ(eight->block().size(), 1064u + 8u); // bytes past the bits are dropped
    // Colours used overrides the depth's count; 16 bits has no table of its own.
    EXPECT_EQ(PackedDib::fromBlock(infoBlock(2, 2, 8, 5, 0, 20 + 8))->colourTableSize(), 20u);
    auto sixteen = PackedDib::fromBlock(infoBlock(320, 200, 16, 0, 0, 320 * 2 * 200));
    ASSERT_TRUE(sixteen);
    EXPECT_EQ(sixteen->bitsOffset(), 40u);
    EXPECT_EQ(PackedDib::fromBlock(infoBlock(320, 200, 32, 0, 0, 320 * 4 * 200))->imageSize(),
              320u * 4 * 200);
    EXPECT_EQ(dibColourCount(12, 4, 0), 16u);
    EXPECT_EQ(dibColourCount(12, 24, 7), 0u); // a core header has no colours-used field
    EXPECT_EQ(dibColourCount(40, 1, 0), 2u);
    EXPECT_EQ(dibColourCount(40, 24, 0), 0u);
}

TEST(PackedDib, MalformedBlocksAreRefused) {
    std::vector<std::vector<std::uint8_t>> bad = {
        {},
        {40, 0, 0},
        infoBlock(4, 4, 32, 0, 0, 63),           // one byte of bits short
        infoBlock(-4, 4, 32, 0, 0, 64),          // negative width
        infoBlock(4, 0, 32, 0, 0, 64),           // no rows
        infoBlock(4, 4, 7, 0, 0, 64),            // no such depth
        infoBlock(4, 4, 8, 0x10000000, 0, 2000), // colour table far past the block
        infoBlock(4, 4, 32, 0, 8, 64),           // image size smaller than the rows
        infoBlock(0x7FFFFFFF, 0x7FFFFFFF, 32, 0, 0, 64),
    };
    std::vector<std::uint8_t> compressed = infoBlock(4, 4, 8, 0, 0, 1024 + 16);
    compressed[16] = 1;
    bad.push_back(compressed);
    std::vector<std::uint8_t> hugeHeader = infoBlock(4, 4, 32, 0, 0, 64);
    hugeHeader[0] = 0xFF, hugeHeader[3] = 0x7F;
    bad.push_back(hugeHeader);
    for (std::size_t i = 0; i < bad.size(); ++i) {
        EXPECT_FALSE(PackedDib::fromBlock(bad[i])) << "case " << i;
    }
}

TEST(PackedDib, PalettedAndCoreHeaderPixelsConvert) {
    // 1 bit, 9 × 2, top-down: row 0 has pixels 0 and 8 set, row 1 is all zero.
    std::vector<std::uint8_t> mono = infoBlock(9, -2, 1, 0, 0, 8 + 8);
    const std::uint8_t table[8] = {10, 20, 30, 0, 200, 150, 100, 0};
    std::copy(table, table + 8, mono.begin() + 40);
    mono[48] = 0x80, mono[49] = 0x80;
    const std::vector<std::uint8_t> rgba = PackedDib::fromBlock(mono)->toRgba();
    EXPECT_EQ(std::vector<std::uint8_t>(rgba.begin(), rgba.begin() + 8),
              (std::vector<std::uint8_t>{100, 150, 200, 255, 30, 20, 10, 255}));
    EXPECT_EQ(rgba[8 * 4], 100);
    EXPECT_EQ(rgba[9 * 4], 30);
    // 4 bits behind a 12-byte core header: 16 colours of 3 bytes, all black but colour 1.
    std::vector<std::uint8_t> core;
    putU32(core, 12), putU16(core, 2), putU16(core, 1), putU16(core, 1), putU16(core, 4);
    core.resize(12 + 48 + 4);
    core[12 + 3] = 7, core[12 + 4] = 8, core[12 + 5] = 9; // colour 1
    core[60] = 0x1F;                                      // pixels 1 and 15
    const auto dib = PackedDib::fromBlock(core);
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->bitsOffset(), 60u);
    EXPECT_EQ(dib->toRgba(), (std::vector<std::uint8_t>{9, 8, 7, 255, 0, 0, 0, 255}));
}

TEST_F(ImageFilesTest, BitmapFileIsTheFileHeaderThenTheBlock) {
    const PackedDib dib = gradient(5, 3);
    // A longer file of that name is replaced whole.
    std::ofstream(file("a.bmp")) << std::string(5000, 'x');
    std::string error;
    ASSERT_TRUE(writeBitmapFile(file("a.bmp"), dib, error)) << error;
    const std::vector<std::uint8_t> bytes = test::readBytes(file("a.bmp"));
    ASSERT_EQ(bytes.size(), 14u + dib.block().size());
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(readU32(&bytes[2]), bytes.size());
    EXPECT_EQ(readU32(&bytes[6]), 0u);
    EXPECT_EQ(readU32(&bytes[10]), 54u);
    EXPECT_TRUE(std::equal(dib.block().begin(), dib.block().end(), bytes.begin() + 14));
    // An 8-bit image's bits start after its 256-entry colour table.
    const auto eight = PackedDib::fromBlock(infoBlock(4, 4, 8, 0, 0, 1024 + 16));
    ASSERT_TRUE(writeBitmapFile(file("b.bmp"), *eight, error)) << error;
    EXPECT_EQ(readU32(&test::readBytes(file("b.bmp"))[10]), 1078u);
    EXPECT_EQ(test::filesIn(dir_), 2);
}

TEST_F(ImageFilesTest, FailedWritesReportAndLeaveNothingBehind) {
    std::string error;
    EXPECT_FALSE(writeBitmapFile(file("missing/a.bmp"), gradient(2, 2), error));
    EXPECT_NE(error.find("missing/a.bmp"), std::string::npos);
    fs::create_directory(file("taken.png"));
    error.clear();
    EXPECT_FALSE(saveImage(file("taken.png"), gradient(2, 2), error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(file("taken.png")));
    error.clear();
    EXPECT_FALSE(saveImage(file("none.bmp"), std::nullopt, error));
    EXPECT_EQ(error, "no rendered image");
    EXPECT_EQ(test::filesIn(dir_), 1);
}

TEST_F(ImageFilesTest, PngHoldsTheSamePixels) {
    const PackedDib dib = gradient(7, 5);
    std::string error;
    ASSERT_TRUE(saveImage(file("a.PNG"), dib, error)) << error;
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&png, file("a.PNG").c_str()));
    png.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(png));
    ASSERT_TRUE(png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(png.width, 7u);
    EXPECT_EQ(png.height, 5u);
    EXPECT_EQ(pixels, dib.toRgba());
    EXPECT_EQ(imageFormatFromPath("x.bmp"), ImageFormat::Bitmap);
    EXPECT_EQ(imageFormatFromPath("png"), ImageFormat::Bitmap);
}

TEST(FrameSeries, NumbersArePaddedToTheDigitsOfTheRowCount) {
    EXPECT_EQ(frameSeriesName("f", 9, 9, "bmp"), "f9.bmp");
    EXPECT_EQ(frameSeriesName("f", 1, 10, "bmp"), "f01.bmp");
    EXPECT_EQ(frameSeriesName("dir/spin", 11, 12, "bmp"), "dir/spin11.bmp");
    EXPECT_EQ(frameSeriesName("a.b", 7, 100, "png"), "a.b007.png");
}

TEST_F(ImageFilesTest, SeriesWritesRenderedRowsOnly) {
    std::vector<std::optional<PackedDib>> rows(12);
    rows[1] = gradient(2, 2);
    rows[10] = gradient(3, 1);
    std::string error;
    ASSERT_TRUE(saveFrameSeries(rows, file("spin"), "bmp", error)) << error;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"spin02.bmp", "spin11.bmp"}));
    EXPECT_EQ(test::readBytes(file("spin11.bmp")).size(), 14u + 40u + 12u);
    EXPECT_TRUE(saveFrameSeries(std::vector<std::optional<PackedDib>>{}, file("x"), "bmp", error));
}

TEST_F(ImageFilesTest, SeriesStopsAtTheFirstFailedCapture) {
    FrameSeriesSource source;
    source.rowCount = 4;
    source.hasFrame = [](int) { return true; };
    source.capture = [](int k) { return k == 3 ? std::nullopt : std::optional(gradient(1, 1)); };
    std::string error;
    EXPECT_FALSE(saveFrameSeries(source, file("f"), "bmp", error));
    EXPECT_NE(error.find("frame 3"), std::string::npos);
    EXPECT_TRUE(fs::exists(file("f1.bmp")));
    EXPECT_TRUE(fs::exists(file("f2.bmp")));
    EXPECT_FALSE(fs::exists(file("f4.bmp")));
}

TEST_F(ImageFilesTest, FfmpegDecodesBitmapAndPngWithTheirColours) {
    if (!haveFfmpeg()) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const PackedDib dib = gradient(6, 4);
    std::string error;
    ASSERT_TRUE(saveImage(file("a.bmp"), dib, error)) << error;
    ASSERT_TRUE(saveImage(file("a.png"), dib, error)) << error;
    const std::vector<std::uint8_t> expected = rgbOf(dib.toRgba());
    EXPECT_EQ(ffmpegRgb(file("a.bmp"), file("bmp.raw")), expected);
    EXPECT_EQ(ffmpegRgb(file("a.png"), file("png.raw")), expected);
}

} // namespace
} // namespace lv::exporter
