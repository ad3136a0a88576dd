#include "render/film.h"

#include <gtest/gtest.h>

#include "tests/support/scratch_dir.h"
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "export/little_endian.h"

namespace lv::render {
namespace {

namespace fs = std::filesystem;
using exporter::ChannelOrder;
using exporter::PackedDib;
using exporter::readU16;
using exporter::readU32;
using exporter::RowOrder;

class FilmTest : public ::testing::Test {
protected:
    std::string file(const std::string& name) const { return scratch_.file(name); }
    test::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.path();
};


void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// Frame n of a w × h film: pixel (x, y), top row first, is (40n + x, 50y, 200 - n).
PackedDib frame(int n, int w = 4, int h = 3) {
    std::vector<std::uint8_t> p;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.insert(p.end(),
                     {static_cast<std::uint8_t>(40 * n + x), static_cast<std::uint8_t>(50 * y),
                      static_cast<std::uint8_t>(200 - n), 255});
        }
    }
    return *PackedDib::fromPixels(w, h, p, RowOrder::TopDown, ChannelOrder::Rgba);
}

std::vector<PackedDib> threeFrames() {
    return {frame(0), frame(1), frame(2)};
}

bool haveTool(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) == 0;
}

std::string commandOutput(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) {
        out += buffer;
    }
    return out;
}

// Opens the film and reads every frame; whatever the bytes, this must neither crash nor hang.
int framesReadable(const std::string& path) {
    AviReader reader;
    std::string error;
    if (!reader.open(path, error)) {
        EXPECT_FALSE(error.empty());
        return -1;
    }
    int good = 0;
    for (int i = 0; i < reader.frameCount(); ++i) {
        good += reader.readFrame(i, error).has_value();
    }
    return good;
}

TEST_F(FilmTest, FilmHeadersAndIndexHaveTheirLayout) {
    const std::vector<PackedDib> frames = threeFrames();
    std::string error;
    ASSERT_TRUE(writeAviFile(file("f.avi"), framesOf(frames), error)) << error;
    const std::vector<std::uint8_t> b = test::readBytes(file("f.avi"));
    ASSERT_EQ(b.size(), 1096u);
    auto tag = [&b](std::size_t at) {
        return std::string(b.begin() + static_cast<long>(at),
                           b.begin() + static_cast<long>(at) + 4);
    };
    EXPECT_EQ(tag(0) + tag(8) + tag(12) + tag(20) + tag(24), "RIFFAVI LISThdrlavih");
    EXPECT_EQ(readU32(&b[4]), b.size() - 8);
    EXPECT_EQ(readU32(&b[16]), 192u);
    EXPECT_EQ(readU32(&b[44]), 0x10u); // has an index
    EXPECT_EQ(readU32(&b[48]), 30u);   // samples
    EXPECT_EQ(readU32(&b[56]), 1u);    // streams
    EXPECT_EQ(readU32(&b[64]), 4u);
    EXPECT_EQ(readU32(&b[68]), 3u);
    EXPECT_EQ(tag(88) + tag(96) + tag(100) + tag(108), "LISTstrlstrhvids");
    EXPECT_EQ(readU32(&b[112]), 0u);  // handler: uncompressed
    EXPECT_EQ(readU32(&b[128]), 1u);  // scale
    EXPECT_EQ(readU32(&b[132]), 15u); // rate
    EXPECT_EQ(readU32(&b[140]), 30u); // length
    EXPECT_EQ(readU32(&b[144]), 48u); // suggested buffer: one image
    EXPECT_EQ(readU32(&b[152]), 0u);  // sample size varies
    EXPECT_EQ(readU32(&b[156]), 0u);  // frame rectangle: left, top
    EXPECT_EQ(readU16(&b[160]), 4);   // right
    EXPECT_EQ(readU16(&b[162]), 3);   // bottom
    EXPECT_EQ(tag(164), "strf");
    EXPECT_EQ(readU32(&b[168]), 40u);
    EXPECT_TRUE(std::equal(b.begin() + 172, b.begin() + 212, frames[0].block().begin()));
    EXPECT_EQ(tag(212) + tag(220) + tag(224), "LISTmovi00db");
    EXPECT_EQ(readU32(&b[216]), 388u);
    EXPECT_EQ(readU32(&b[228]), 48u);
    EXPECT_TRUE(std::equal(b.begin() + 232, b.begin() + 280, frames[0].bits().begin()));
    EXPECT_EQ(tag(280) + std::to_string(readU32(&b[284])), "00db0"); // an empty sample
    EXPECT_EQ(tag(608), "idx1");
    ASSERT_EQ(readU32(&b[612]), 480u);
    for (std::uint32_t s = 0; s < 30; ++s) {
        const std::uint8_t* e = &b[616 + 16 * s];
        const bool key = s % 10 == 0;
        EXPECT_EQ(tag(616 + 16 * s), "00db");
        EXPECT_EQ(readU32(e + 4), key ? 0x10u : 0u) << s;
        EXPECT_EQ(readU32(e + 8), 4 + 128 * (s / 10) + (key ? 0 : 56 + 8 * (s % 10 - 1))) << s;
        EXPECT_EQ(readU32(e + 12), key ? 48u : 0u) << s;
    }
}

TEST_F(FilmTest, ReaderGivesBackFramesAndTiming) {
    const std::vector<PackedDib> frames = threeFrames();
    std::string error;
    ASSERT_TRUE(writeAviFile(file("f.avi"), framesOf(frames), error)) << error;
    AviReader reader;
    ASSERT_TRUE(reader.open(file("f.avi"), error)) << error;
    EXPECT_EQ(reader.width(), 4);
    EXPECT_EQ(reader.height(), 3);
    EXPECT_EQ(reader.bitsPerPixel(), 32);
    EXPECT_EQ(reader.rate(), 15u);
    EXPECT_EQ(reader.scale(), 1u);
    EXPECT_EQ(reader.length(), 30u);
    ASSERT_EQ(reader.frameCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reader.frameSample(i), 10u * static_cast<std::uint32_t>(i));
        EXPECT_TRUE(reader.isKeyFrame(i));
        const auto back = reader.readFrame(i, error);
        ASSERT_TRUE(back) << error;
        EXPECT_EQ(back->block(), frames[static_cast<std::size_t>(i)].block());
    }
    EXPECT_EQ(reader.frameAtSample(0), 0);
    EXPECT_EQ(reader.frameAtSample(19), 1);
    EXPECT_EQ(reader.frameAtSample(29), 2);
    EXPECT_FALSE(reader.readFrame(3, error));
}

TEST_F(FilmTest, WriterRefusesMissingAndMismatchedFrames) {
    std::string error;
    EXPECT_FALSE(writeAviFile(file("none.avi"), framesOf({}), error));
    EXPECT_FALSE(error.empty());
    std::ofstream(file("old.avi")) << "old";
    error.clear();
    EXPECT_FALSE(writeAviFile(file("old.avi"), framesOf({frame(0), frame(1, 5, 3)}), error));
    EXPECT_NE(error.find("frame 2"), std::string::npos);
    EXPECT_EQ(test::readBytes(file("old.avi")).size(), 3u);
    EXPECT_EQ(test::filesIn(dir_), 1);
}

TEST_F(FilmTest, ReaderSurvivesTruncatedAndCorruptFiles) {
    std::string error;
    ASSERT_TRUE(writeAviFile(file("f.avi"), framesOf(threeFrames()), error)) << error;
    const std::vector<std::uint8_t> good = test::readBytes(file("f.avi"));
    // Without its index the film is read from its frame list; a frame cut short is left out.
    writeBytes(file("t.avi"), {good.begin(), good.begin() + 608});
    EXPECT_EQ(framesReadable(file("t.avi")), 3);
    writeBytes(file("t.avi"), {good.begin(), good.begin() + 500});
    EXPECT_EQ(framesReadable(file("t.avi")), 2);
    for (std::size_t n = 0; n < good.size(); n += 7) {
        writeBytes(file("t.avi"), {good.begin(), good.begin() + static_cast<long>(n)});
        framesReadable(file("t.avi"));
    }
    // Every byte of the headers, the first frame's chunk header and the first index entries.
    for (std::size_t at = 0; at < good.size(); at += at < 240 || (at >= 608 && at < 700) ? 1 : 29) {
        for (const std::uint8_t value : {std::uint8_t{0}, std::uint8_t{0xFF}}) {
            std::vector<std::uint8_t> bad = good;
            bad[at] = value;
            writeBytes(file("t.avi"), bad);
            framesReadable(file("t.avi"));
        }
    }
    EXPECT_EQ(framesReadable(file("missing.avi")), -1);
    EXPECT_EQ(framesReadable(dir_.string()), -1);
}

TEST_F(FilmTest, ReaderAcceptsIndexOffsetsFromTheFileStart) {
    std::string error;
    ASSERT_TRUE(writeAviFile(file("f.avi"), framesOf(threeFrames()), error)) << error;
    std::vector<std::uint8_t> b = test::readBytes(file("f.avi"));
    for (std::size_t e = 616; e < b.size(); e += 16) {
        exporter::writeU32At(b, e + 8, readU32(&b[e + 8]) + 220);
    }
    writeBytes(file("f.avi"), b);
    AviReader reader;
    ASSERT_TRUE(reader.open(file("f.avi"), error)) << error;
    ASSERT_EQ(reader.frameCount(), 3);
    EXPECT_EQ(reader.frameSample(2), 20u);
    EXPECT_EQ(reader.readFrame(2, error)->block(), frame(2).block());
}

TEST_F(FilmTest, ReserveTakesTheFirstNameNoOneHolds) {
    TempFilm first, second, third;
    ASSERT_TRUE(first.reserve(dir_.string()));
    EXPECT_EQ(first.path(), file("~_tmp0.avi"));
    EXPECT_FALSE(first.isReady());
    ASSERT_TRUE(second.reserve(dir_.string()));
    EXPECT_EQ(second.path(), file("~_tmp1.avi"));
    first.discard();
    EXPECT_FALSE(fs::exists(file("~_tmp0.avi")));
    // A file left by an earlier run is taken over, not truncated.
    std::ofstream(file("~_tmp0.avi")) << "left over";
    ASSERT_TRUE(third.reserve(dir_.string()));
    EXPECT_EQ(third.path(), file("~_tmp0.avi"));
    EXPECT_EQ(test::readBytes(third.path()).size(), 9u);
    {
        TempFilm scoped;
        ASSERT_TRUE(scoped.reserve(dir_.string()));
        EXPECT_EQ(scoped.path(), file("~_tmp2.avi"));
    }
    EXPECT_FALSE(fs::exists(file("~_tmp2.avi")));
    // A link or a FIFO under a name is never taken: the film would go wherever it leads.
    std::ofstream(file("precious")) << "keep";
    fs::create_symlink(file("precious"), file("~_tmp2.avi"));
    ASSERT_EQ(::mkfifo(file("~_tmp3.avi").c_str(), 0600), 0);
    TempFilm fourth;
    ASSERT_TRUE(fourth.reserve(dir_.string()));
    EXPECT_EQ(fourth.path(), file("~_tmp4.avi"));
    fourth.discard();
    EXPECT_EQ(test::readBytes(file("precious")).size(), 4u);
    EXPECT_EQ(framesReadable(file("~_tmp3.avi")), -1); // refused at once, no wait for a writer
}

TEST_F(FilmTest, WithEveryNameHeldNothingIsWrittenOrDeleted) {
    std::vector<std::unique_ptr<TempFilm>> holders;
    for (int i = 0; i < 100; ++i) {
        holders.push_back(std::make_unique<TempFilm>());
        ASSERT_TRUE(holders.back()->reserve(dir_.string()));
    }
    std::string error;
    ASSERT_TRUE(holders[99]->compile(framesOf(threeFrames()), error)) << error;
    const std::size_t size = test::readBytes(file("~_tmp99.avi")).size();
    TempFilm late;
    EXPECT_FALSE(late.reserve(dir_.string()));
    EXPECT_EQ(late.path(), file("~_tmp99.avi"));
    EXPECT_FALSE(late.isHeld());
    EXPECT_FALSE(late.compile(framesOf(threeFrames()), error));
    EXPECT_FALSE(late.isReady());
    late.discard();
    EXPECT_EQ(test::readBytes(file("~_tmp99.avi")).size(), size);
    EXPECT_TRUE(holders[99]->isReady());
}

TEST_F(FilmTest, CompiledFilmPlaysAndCopiesAndAFailedCompileIsNotReady) {
    TempFilm film;
    ASSERT_TRUE(film.reserve(dir_.string()));
    std::string error;
    EXPECT_FALSE(film.copyTo(file("early.avi"), error));
    ASSERT_TRUE(film.compile(framesOf(threeFrames()), error)) << error;
    EXPECT_TRUE(film.isReady());
    const std::vector<std::uint8_t> compiled = test::readBytes(film.path());
    EXPECT_EQ(framesReadable(film.path()), 3);
    // The copy replaces a longer file whole.
    std::ofstream(file("copy.avi")) << std::string(5000, 'x');
    ASSERT_TRUE(film.copyTo(file("copy.avi"), error)) << error;
    EXPECT_EQ(test::readBytes(file("copy.avi")), compiled);
    // Playback closes and reopens the file.
    film.closeFile();
    EXPECT_FALSE(film.isReady());
    EXPECT_FALSE(film.copyTo(file("closed.avi"), error));
    ASSERT_TRUE(film.reopenFile());
    EXPECT_TRUE(film.isReady());
    EXPECT_EQ(test::readBytes(film.path()), compiled);
    // A compilation that fails leaves an empty film that cannot be played or exported.
    EXPECT_FALSE(film.compile(framesOf({frame(0), frame(1, 2, 2)}), error));
    EXPECT_FALSE(film.isReady());
    EXPECT_TRUE(film.isHeld());
    EXPECT_EQ(fs::file_size(film.path()), 0u);
    EXPECT_FALSE(film.copyTo(file("failed.avi"), error));
    EXPECT_FALSE(fs::exists(file("failed.avi")));
    EXPECT_FALSE(film.compile(framesOf({}), error));
    EXPECT_FALSE(film.isReady());
}

TEST_F(FilmTest, FfmpegDecodesEveryFrameTwoThirdsOfASecondApart) {
    if (!haveTool("ffmpeg") || !haveTool("ffprobe")) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const std::vector<PackedDib> frames = threeFrames();
    std::string error;
    ASSERT_TRUE(writeAviFile(file("f.avi"), framesOf(frames), error)) << error;
    const std::string avi = "'" + file("f.avi") + "'";
    EXPECT_EQ(commandOutput("ffprobe -v error -select_streams v:0 -show_entries "
                            "stream=codec_name,width,height,time_base -of csv=p=0 " +
                            avi),
              "rawvideo,4,3,1/15\n");
    EXPECT_EQ(commandOutput("ffprobe -v error -select_streams v:0 -show_entries frame=pts_time "
                            "-of csv=p=0 " +
                            avi),
              "0.000000\n0.666667\n1.333333\n");
    const std::string raw = file("f.raw");
    ASSERT_EQ(std::system(("ffmpeg -v error -y -i " + avi +
                           " -fps_mode passthrough -f rawvideo "
                           "-pix_fmt rgb24 '" +
                           raw + "'")
                              .c_str()),
              0);
    std::vector<std::uint8_t> expected;
    for (const PackedDib& f : frames) {
        const std::vector<std::uint8_t> rgba = f.toRgba();
        for (std::size_t i = 0; i < rgba.size(); i += 4) {
            expected.insert(expected.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
        }
    }
    EXPECT_EQ(test::readBytes(raw), expected);
}

} // namespace
} // namespace lv::render
