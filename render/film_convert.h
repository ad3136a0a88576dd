#pragma once
// Films in other formats through the ffmpeg program: H.264 MP4 and animated GIF made from an
// AVI film, timing kept (each frame shown for its 2/3 of a second).
#include <string>

namespace lv::render {

enum class FilmFormat { Mp4, Gif };

// The full path of the ffmpeg program on PATH, or "" when it is not installed.
std::string findFfmpeg();

// The message for a missing ffmpeg.
inline constexpr const char* kFfmpegMissing =
    "ffmpeg is not installed: MP4 and GIF films need the ffmpeg program (package ffmpeg).";

// Converts the AVI film at avi into destination (replaced when it exists). Fails with error
// set when ffmpeg is missing (kFfmpegMissing) or fails (its last message); destination is then
// left without a partial file.
bool convertFilm(const std::string& avi, const std::string& destination, FilmFormat format,
                 std::string& error);

} // namespace lv::render
