#include "export/image_files.h"

#include <png.h>

#include <cstdint>

#include "export/little_endian.h"
#include "export/output_paths.h"
#include "export/replacing_file.h"

namespace lv::exporter {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;

bool writeWhole(const std::string& path, const std::vector<std::uint8_t>& head,
                const std::vector<std::uint8_t>& body, std::string& error) {
    ReplacingFile file;
    return file.open(path, error) && file.write(head.data(), head.size(), error) &&
           file.write(body.data(), body.size(), error) && file.commit(error);
}

std::vector<std::uint8_t> encodePng(const PackedDib& image, std::string& error) {
    const std::vector<std::uint8_t> rgba = image.toRgba();
    std::vector<std::uint8_t> rgb(rgba.size() / 4 * 3);
    for (std::size_t i = 0, j = 0; i < rgba.size(); i += 4, j += 3) {
        rgb[j] = rgba[i], rgb[j + 1] = rgba[i + 1], rgb[j + 2] = rgba[i + 2];
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width());
    png.height = static_cast<png_uint_32>(image.height());
    png.format = PNG_FORMAT_RGB;
    // One compression into a buffer of the largest size the encoding can take.
    std::vector<std::uint8_t> out(PNG_IMAGE_PNG_SIZE_MAX(png));
    png_alloc_size_t size = out.size();
    if (png_image_write_to_memory(&png, out.data(), &size, 0, rgb.data(), 0, nullptr) && size > 0)
        out.resize(size);
    else
        out.clear();
    if (out.empty()) {
        error = std::string("cannot encode PNG: ") + png.message;
    }
    png_image_free(&png);
    return out;
}


} // namespace

bool writeBitmapFile(const std::string& path, const PackedDib& image, std::string& error) {
    std::vector<std::uint8_t> head;
    putU16(head, 0x4D42); // "BM"
    putU32(head, static_cast<std::uint32_t>(kFileHeaderSize + image.block().size()));
    putU16(head, 0);
    putU16(head, 0);
    putU32(head, kFileHeaderSize + image.bitsOffset());
    return writeWhole(path, head, image.block(), error);
}

bool writePngFile(const std::string& path, const PackedDib& image, std::string& error) {
    const std::vector<std::uint8_t> encoded = encodePng(image, error);
    return !encoded.empty() && writeWhole(path, {}, encoded, error);
}

ImageFormat imageFormatFromPath(const std::string& path) {
    return lowerExtension(path) == ".png" ? ImageFormat::Png : ImageFormat::Bitmap;
}

bool saveImage(const std::string& path, const std::optional<PackedDib>& image, std::string& error) {
    if (!image) {
        error = "no rendered image";
        return false;
    }
    return imageFormatFromPath(path) == ImageFormat::Png ? writePngFile(path, *image, error)
                                                         : writeBitmapFile(path, *image, error);
}

std::string frameSeriesName(const std::string& base, int k, int rowCount,
                            const std::string& extension) {
    const std::size_t width = std::to_string(rowCount).size();
    std::string number = std::to_string(k);
    if (number.size() < width) {
        number.insert(0, width - number.size(), '0');
    }
    return base + number + "." + extension;
}

bool saveFrameSeries(const FrameSeriesSource& source, const std::string& base,
                     const std::string& extension, std::string& error) {
    for (int k = 1; k <= source.rowCount; ++k) {
        if (!source.hasFrame(k)) {
            continue;
        }
        const std::string name = frameSeriesName(base, k, source.rowCount, extension);
        if (!saveImage(name, source.capture(k), error)) {
            error = "frame " + std::to_string(k) + ": " + error;
            return false;
        }
    }
    return true;
}

bool saveFrameSeries(const std::vector<std::optional<PackedDib>>& rows, const std::string& base,
                     const std::string& extension, std::string& error) {
    FrameSeriesSource source;
    source.rowCount = static_cast<int>(rows.size());
    source.hasFrame = [&rows](int k) { return rows[static_cast<std::size_t>(k - 1)].has_value(); };
    source.capture = [&rows](int k) { return rows[static_cast<std::size_t>(k - 1)]; };
    return saveFrameSeries(source, base, extension, error);
}

} // namespace lv::exporter
