// Decompression as the batch runs it: RL reader, then bitmap writer. Whatever the reader accepts with a
// picture in it must come out as a bitmap that reads back to the same pixels, rows in the right order,
// with alpha kept whenever a decoded pixel is not opaque.

#include <cstdint>
#include <span>

#include "fuzz_support.h"
#include "image_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    imaging::ImageModel rl;
    if (!imaging::decodeCompressed(std::span<const std::uint8_t>(data, size), rl)) {
        return 0;
    }
    const auto encoded = imaging::encodeBitmap(rl);
    if (rl.Width == 0 || rl.Height == 0) {
        FUZZ_CHECK(!encoded);  // nothing to draw: no bitmap is made of it
        return 0;
    }
    FUZZ_CHECK(encoded.ok());
    const std::vector<std::uint8_t>& bytes = encoded.value();
    const std::size_t width = static_cast<std::size_t>(rl.Width),
                      height = static_cast<std::size_t>(rl.Height);
    const std::size_t bytesPerPixel = rl.RlAlphaFlag != 0 ? 4 : 3;
    const std::size_t stride = width * bytesPerPixel + (bytesPerPixel == 3 ? width % 4 : 0);
    FUZZ_CHECK(bytes.size() == 54 + stride * height);
    // A few bytes may declare millions of pixels; reading them back three ways would take seconds here.
    if (rl.Pixels.size() > (std::size_t{1} << 18)) {
        return 0;
    }

    // The file writer stores exactly these bytes.
    const auto path = fuzz::ScratchFolder::path() / "output.bmp";
    FUZZ_CHECK(imaging::SaveBitmapImage(path, rl).ok());
    imaging::ImageModel loaded;
    FUZZ_CHECK(imaging::LoadBitmapImage(path, loaded).ok());

    imaging::ImageModel back;
    FUZZ_CHECK(imaging::decodeBitmap(bytes, back).ok());
    FUZZ_CHECK(back.Width == rl.Width && back.Height == rl.Height);
    FUZZ_CHECK(back.BitDepth == static_cast<std::int32_t>(8 * bytesPerPixel));
    FUZZ_CHECK(back.Pixels.size() == rl.Pixels.size() && loaded.Pixels.size() == rl.Pixels.size());
    // RL holds the top row first, a bitmap load the bottom row first.
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            const imaging::PixelRecord& source = rl.Pixels[(height - 1 - y) * width + x];
            const imaging::PixelRecord& read = back.Pixels[y * width + x];
            FUZZ_CHECK((read.Color & 0xFFFFFF) == (source.Color & 0xFFFFFF));
            if (bytesPerPixel == 4) {
                FUZZ_CHECK(read.Alpha == source.Alpha);
            } else {
                // Without the flag every decoded pixel is opaque; only pixels a short file left undecoded
                // are transparent black, and a 24-bit file makes them opaque black.
                FUZZ_CHECK(read.Alpha == 255);
                FUZZ_CHECK(source.Alpha == 255 || (source.Alpha == 0 && source.Color == 0));
            }
            FUZZ_CHECK(loaded.Pixels[y * width + x].Color == read.Color &&
                       loaded.Pixels[y * width + x].Alpha == read.Alpha);
        }
    }
    return 0;
}
