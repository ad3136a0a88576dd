#pragma once
// Image files of rendered frames: bitmap and PNG files of one captured image, and the numbered
// series of files of an animation's rendered frames.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/packed_dib.h"

namespace lv::exporter {

// Writes a bitmap file: "BM", the file size (14 + the block's size), two reserved zeros and the
// offset of the pixel bits (14 + header + colour table), then image's block byte for byte. The
// file is written under a temporary name and renamed, so path never holds a partial file.
// False with error set (path untouched) on an I/O failure.
bool writeBitmapFile(const std::string& path, const PackedDib& image, std::string& error);

// Writes an 8-bit RGB PNG file of the image, top row first; replaces path as writeBitmapFile.
bool writePngFile(const std::string& path, const PackedDib& image, std::string& error);

enum class ImageFormat { Bitmap, Png };

// Png for a name whose extension is ".png" (any letter case); Bitmap for every other name.
ImageFormat imageFormatFromPath(const std::string& path);

// Saves a captured image in the format its path names. Fails with "no rendered image" when
// the capture gave nothing.
bool saveImage(const std::string& path, const std::optional<PackedDib>& image, std::string& error);

// The file name of row k (1-based) of a series of rowCount rows: base, k in decimal padded on
// the left with '0' to the number of digits of rowCount, ".", extension ("spin02.bmp" for row 2
// of 12).
std::string frameSeriesName(const std::string& base, int k, int rowCount,
                            const std::string& extension);

// The rows of an animation as the series writer sees them.
struct FrameSeriesSource {
    int rowCount = 0;
    std::function<bool(int k)> hasFrame;                    // row k has a rendered frame
    std::function<std::optional<PackedDib>(int k)> capture; // its image; nothing if capture fails
};

// Saves every row that has a rendered frame, in order, under frameSeriesName with saveImage;
// stops and fails at the first failure (files already written stay). No rows: success.
bool saveFrameSeries(const FrameSeriesSource& source, const std::string& base,
                     const std::string& extension, std::string& error);

// The same for images held in memory: rows[k - 1] is row k's image, nothing for a row without
// a rendered frame.
bool saveFrameSeries(const std::vector<std::optional<PackedDib>>& rows, const std::string& base,
                     const std::string& extension, std::string& error);

} // namespace lv::exporter
