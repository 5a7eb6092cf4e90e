#include "image_model.h"

#include "file_io.h"

#include <cstddef>
#include <fstream>
#include <system_error>

namespace imaging {

namespace {

// 8 MiB of pixel records: a 1024 x 1024 image.
constexpr std::size_t RetainedBytes = std::size_t{8} << 20;

template <class T>
void emptyKeepingSmall(std::vector<T>& values) {
    if (values.capacity() > RetainedBytes / sizeof(T)) {
        std::vector<T>().swap(values);
    } else {
        values.clear();
    }
}

}  // namespace

void ResetImageModel(ImageModel& model) {
    model.BmpSignature = "  ";
    model.BmpFileSize = 0;
    model.BmpReserved = 0;
    model.BmpDataOffset = 0;
    model.BmpHeaderSize = 0;
    model.Width = 0;
    model.Height = 0;
    model.BmpPlanes = 0;
    model.BitDepth = 0;
    model.BmpCompression = 0;
    model.BmpImageSize = 0;
    model.BmpXPelsPerMeter = 0;
    model.BmpYPelsPerMeter = 0;
    model.BmpColorsUsed = 0;
    model.BmpColorsImportant = 0;
    model.WindowsColorCount = 0;
    model.CompressedColorCount = 0;
    model.AlphaPixelCount = 0;
    model.TransparentPixelCount = 0;

    // A batch run resets between files: the memory of an ordinary image is kept for the next one, which
    // would otherwise take fresh pages from the system every file; a large image's memory is given back.
    emptyKeepingSmall(model.Pixels);
    emptyKeepingSmall(model.PaletteAlphas);
    emptyKeepingSmall(model.PaletteColors);
    emptyKeepingSmall(model.RlAlphaTable);
    emptyKeepingSmall(model.RlPalette);

    model.RlSignature = "  ";
    model.RlAlphaFlag = 0;
    model.RlWidth = 0;
    model.RlHeight = 0;
    model.RlPaletteCount = 0;
    model.RlRowTableLength = 0;
    model.RlKeyColor = 0;
}

Result<std::string> ReadSignature(const std::filesystem::path& path) {
    Result<tarvik::FileHandle> file = tarvik::openFileForReading(path);
    if (!file) {
        return file.error();
    }
    char bytes[2] = {0, 0};
    Result<std::size_t> got = tarvik::readSome(file->fd(), bytes, 2);
    if (!got) {
        return got.error();
    }
    switch (*got) {
        case 0:
            return std::string();
        case 1:
            return std::string{bytes[0], '\0'};
        default:
            return std::string{bytes[0], bytes[1]};
    }
}

std::int16_t FindPaletteIndex(const ImageModel& model, std::int32_t rgb565, std::int32_t alpha,
                              bool alphaTableFlag) {
    if (alpha == 0) {
        return 0;
    }
    // Only the real combinations are searched: the spare last entry is no colour of the image.
    std::size_t entries = model.PaletteColors.size() < model.PaletteAlphas.size()
                              ? model.PaletteColors.size()
                              : model.PaletteAlphas.size();
    if (model.CompressedColorCount >= 0 && static_cast<std::size_t>(model.CompressedColorCount) < entries) {
        entries = static_cast<std::size_t>(model.CompressedColorCount);
    }
    for (std::size_t k = 0; k < entries; ++k) {
        if (model.PaletteColors[k] == rgb565 && (!alphaTableFlag || model.PaletteAlphas[k] == alpha)) {
            return static_cast<std::int16_t>(k + 1);
        }
    }
    return 0;
}

AlphaCounts countAlphaPixels(std::span<const PixelRecord> pixels) {
    AlphaCounts counts;
    for (const PixelRecord& pixel : pixels) {
        counts.alphaPixels += pixel.Alpha < 255 ? 1 : 0;
        counts.transparentPixels += pixel.Alpha == 0 ? 1 : 0;
    }
    return counts;
}

}  // namespace imaging
