// The PNG reader on any bytes: it fails with a reason or gives an image that is exactly the bitmap of its
// pixels (reading those pixels back as a bitmap changes nothing), and that the PNG writer and reader carry
// through unchanged.

#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "png_codec.h"

namespace {

bool sameModel(const imaging::ImageModel& a, const imaging::ImageModel& b) {
    if (a.Width != b.Width || a.Height != b.Height || a.BitDepth != b.BitDepth || a.BmpFileSize != b.BmpFileSize ||
        a.WindowsColorCount != b.WindowsColorCount || a.CompressedColorCount != b.CompressedColorCount ||
        a.AlphaPixelCount != b.AlphaPixelCount || a.TransparentPixelCount != b.TransparentPixelCount ||
        a.Pixels.size() != b.Pixels.size() || a.PaletteColors != b.PaletteColors || a.PaletteAlphas != b.PaletteAlphas) {
        return false;
    }
    for (std::size_t i = 0; i < a.Pixels.size(); ++i) {
        if (a.Pixels[i].Color != b.Pixels[i].Color || a.Pixels[i].Alpha != b.Pixels[i].Alpha) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    imaging::ImageModel png;
    if (!imaging::decodePng(std::span<const std::uint8_t>(data, size), png)) {
        return 0;
    }
    const auto width = static_cast<std::uint32_t>(png.Width), height = static_cast<std::uint32_t>(png.Height);
    FUZZ_CHECK(png.Width > 0 && png.Height > 0 && png.Pixels.size() == std::uint64_t{width} * height);
    FUZZ_CHECK(png.BitDepth == (png.AlphaPixelCount == 0 ? 24 : 32));

    imaging::ImageModel again;
    FUZZ_CHECK(imaging::modelFromPixels(width, height, png.Pixels, again).ok());
    FUZZ_CHECK(sameModel(png, again));

    // Written as an RL-loaded image would be (top row first, with alpha) and read back: the same pixels.
    imaging::ImageModel upright = png;
    upright.RlAlphaFlag = 1;
    upright.Pixels.clear();
    for (std::uint32_t row = height; row > 0; --row) {
        upright.Pixels.insert(upright.Pixels.end(), png.Pixels.begin() + (row - 1) * width,
                              png.Pixels.begin() + row * width);
    }
    const auto encoded = imaging::encodePng(upright);
    FUZZ_CHECK(encoded.ok());
    imaging::ImageModel back;
    FUZZ_CHECK(imaging::decodePng(encoded.value(), back).ok());
    FUZZ_CHECK(sameModel(png, back));
    return 0;
}
