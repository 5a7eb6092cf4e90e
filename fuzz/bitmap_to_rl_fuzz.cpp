// Compression as the batch runs it: bitmap reader, RL writer, and the RL reader on what was written.
// A compressible image is either written or refused for a reason of its own (a row needing more than 255
// code bytes, a size the RL header cannot hold); what is written must read back as the same picture
// reduced to 5-6-5 colours and 33 alpha levels:
//  - alpha 0..6 comes back fully transparent;
//  - any other pixel keeps its 5-6-5 colour; its alpha is 255 when no alpha table was written (every
//    pixel was then opaque or fully transparent), otherwise 8v - 1 where v is its run's alpha-table
//    level, which lies within one level of its own.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz_support.h"
#include "image_model.h"

namespace {

std::int32_t expand565(std::uint16_t v) {
    const std::int32_t red = ((v >> 11) & 0x1F) * 8, green = ((v >> 5) & 0x3F) * 4, blue = (v & 0x1F) * 8;
    return red | (green << 8) | (blue << 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    imaging::ImageModel bmp;
    if (!imaging::decodeBitmap(std::span<const std::uint8_t>(data, size), bmp)) {
        return 0;
    }
    const auto encoded = imaging::encodeCompressed(bmp);
    if (bmp.CompressedColorCount >= imaging::CompressibleColorLimit) {
        FUZZ_CHECK(!encoded && encoded.error().code == imaging::ErrorCode::TooManyColours);
        return 0;
    }
    if (!encoded) {
        const auto code = encoded.error().code;
        FUZZ_CHECK(code == imaging::ErrorCode::RowTooLong || code == imaging::ErrorCode::TooLarge);
        // A row's codes never take more bytes than it has pixels; the row table must end below 32768.
        FUZZ_CHECK(code != imaging::ErrorCode::RowTooLong || bmp.Width > 255);
        const std::int64_t entries = bmp.CompressedColorCount + 1;
        const bool alphaTable = bmp.AlphaPixelCount > 0 && bmp.AlphaPixelCount != bmp.TransparentPixelCount;
        FUZZ_CHECK(code != imaging::ErrorCode::TooLarge || bmp.Width > 65535 || bmp.Height > 65535 ||
                   12 + 2 * entries + (alphaTable ? entries : 0) + bmp.Height + 2 > 32767);
        return 0;
    }
    const std::vector<std::uint8_t>& bytes = encoded.value();
    FUZZ_CHECK(bytes.size() >= 12 && bytes[0] == 'R' && bytes[1] == 'L');
    const bool alphaTable = bytes[2] == 1;

    imaging::ImageModel rl;
    FUZZ_CHECK(imaging::decodeCompressed(bytes, rl).ok());
    FUZZ_CHECK(rl.Width == bmp.Width && rl.Height == bmp.Height);
    FUZZ_CHECK(rl.RlPaletteCount == bmp.CompressedColorCount + 1);

    const std::size_t width = static_cast<std::size_t>(bmp.Width),
                      height = static_cast<std::size_t>(bmp.Height);
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            // The bitmap holds the bottom row first, RL the top row first.
            const imaging::PixelRecord& source = bmp.Pixels[y * width + x];
            const imaging::PixelRecord& read = rl.Pixels[(height - 1 - y) * width + x];
            const std::int32_t level = (source.Alpha + 1) / 8;
            if (level == 0) {
                FUZZ_CHECK(read.Alpha == 0 && read.Color == 0);
                continue;
            }
            FUZZ_CHECK(read.Color == expand565(imaging::ToRgb565(source.Color)));
            if (!alphaTable) {
                FUZZ_CHECK(source.Alpha == 255 && read.Alpha == 255);
                continue;
            }
            FUZZ_CHECK((read.Alpha + 1) % 8 == 0);
            const std::int32_t readLevel = (read.Alpha + 1) / 8;
            FUZZ_CHECK(readLevel == level || readLevel == level + 1);
        }
    }

    // The file writer stores exactly these bytes, through its temporary file.
    const auto path = fuzz::ScratchFolder::path() / "output.rl";
    FUZZ_CHECK(imaging::SaveCompressedImage(path, bmp).ok());
    imaging::ImageModel loaded;
    FUZZ_CHECK(imaging::LoadCompressedImage(path, loaded).ok());
    FUZZ_CHECK(loaded.Pixels.size() == rl.Pixels.size());
    for (std::size_t i = 0; i < rl.Pixels.size(); ++i) {
        FUZZ_CHECK(loaded.Pixels[i].Color == rl.Pixels[i].Color &&
                   loaded.Pixels[i].Alpha == rl.Pixels[i].Alpha);
    }
    return 0;
}
