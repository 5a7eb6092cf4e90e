// The fitter on small images (up to 32 x 32, so every row can be made to fit): it always succeeds; what
// fitted already comes out as plain compression's bytes; anything else decodes to at most 253 entries with
// every row within 255 bytes, and the reported PSNR is that of the decoded file.
//
// Input: width - 1 (low 5 bits) and a dither bit (64), height - 1 (low 5 bits), then RGBA bytes, repeated
// as needed.

#include <cmath>
#include <cstdint>
#include <vector>

#include "fitter.h"
#include "fuzz_support.h"
#include "png_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 6) {
        return 0;
    }
    const std::uint32_t width = (data[0] & 31u) + 1, height = (data[1] & 31u) + 1;
    const bool dither = (data[0] & 64u) != 0;
    const std::uint8_t* rgba = data + 2;
    const std::size_t samples = (size - 2) / 4 * 4;
    if (samples == 0) {
        return 0;
    }
    std::vector<imaging::PixelRecord> pixels(std::size_t{width} * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const std::uint8_t* p = rgba + (i * 4) % samples;
        pixels[i] = {p[0] | (p[1] << 8) | (p[2] << 16), p[3]};
    }
    imaging::ImageModel input;
    FUZZ_CHECK(imaging::modelFromPixels(width, height, pixels, input).ok());
    const auto fitted = fitting::fitImage(input, fitting::FitOptions{dither});
    FUZZ_CHECK(fitted.ok());
    const auto plain = imaging::encodeCompressed(input);
    FUZZ_CHECK(fitted->report.untouched == plain.ok());
    if (plain) {
        FUZZ_CHECK(fitted->rl == plain.value());
        return 0;
    }
    imaging::ImageModel decoded;
    FUZZ_CHECK(imaging::decodeCompressed(fitted->rl, decoded).ok());
    FUZZ_CHECK(decoded.Width == input.Width && decoded.Height == input.Height);
    FUZZ_CHECK(decoded.RlPaletteCount - 1 <= 253 && fitted->report.combinationsAfter <= 253);
    std::vector<imaging::PixelRecord> shown;
    for (std::uint32_t row = height; row > 0; --row) {
        shown.insert(shown.end(), decoded.Pixels.begin() + (row - 1) * width, decoded.Pixels.begin() + row * width);
    }
    const double psnr = fitting::premultipliedPsnr(input.Pixels, shown);
    FUZZ_CHECK(psnr == fitted->report.psnr || std::fabs(psnr - fitted->report.psnr) < 1e-9);
    return 0;
}
