#include "png_codec.h"

#include <spng.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "bmp_format.h"
#include "byte_order.h"
#include "file_io.h"

namespace imaging {

namespace {

using tarvik::makeError;

constexpr std::uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// Deflate cannot expand data by more than about 1032 to 1: a file that declares more image data than that
// cannot hold it, so it is refused before anything is allocated for it.
constexpr std::uint64_t MaxInflateRatio = 1032;
constexpr std::uint64_t InflateSlackBytes = 64 * 1024;
// A PNG can declare far more pixels than its bytes: 260 KB of deflate inflate to a 16384 x 16384 image. Such
// sizes are refused rather than read into gigabytes; 8192 x 8192 is far beyond any art for an RL file.
constexpr std::uint64_t MaxPngPixels = std::uint64_t{1} << 26;
// Text and profile chunks are kept by the decoder; their inflated size is capped.
constexpr std::size_t ChunkCacheBytes = std::size_t{16} << 20;

struct ContextFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Context = std::unique_ptr<spng_ctx, ContextFree>;

// The library's reason, after `part` of the file it concerns when one is given.
Error pngError(int code, const char* part = nullptr) {
    ErrorCode kind = ErrorCode::Corrupt;
    if (code == SPNG_EOF) {
        kind = ErrorCode::Truncated;
    } else if (code == SPNG_ECHUNK_LIMITS || code == SPNG_EWIDTH || code == SPNG_EHEIGHT ||
               code == SPNG_EUSER_WIDTH || code == SPNG_EUSER_HEIGHT || code == SPNG_EOVERFLOW ||
               code == SPNG_EMEM) {
        kind = ErrorCode::TooLarge;
    }
    return makeError(
        kind, part ? std::string(part) + ": " + spng_strerror(code) : std::string(spng_strerror(code)));
}

int samplesPerPixel(std::uint8_t colourType) {
    switch (colourType) {
        case SPNG_COLOR_TYPE_TRUECOLOR: return 3;
        case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: return 2;
        case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: return 4;
        default: return 1;  // grey, indexed
    }
}

// A 32-bit bitmap that stores its rows top row first: the decoder writes straight into its pixel bytes.
std::vector<std::uint8_t> topDownBitmap32(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> out;
    const std::uint64_t imageSize = std::uint64_t{width} * height * 4;
    out.reserve(static_cast<std::size_t>(bmp::HeaderBytes + imageSize));
    out.push_back('B');
    out.push_back('M');
    detail::appendU32(out, static_cast<std::uint32_t>(bmp::HeaderBytes + imageSize));
    detail::appendU32(out, 0);
    detail::appendU32(out, static_cast<std::uint32_t>(bmp::HeaderBytes));
    detail::appendU32(out, static_cast<std::uint32_t>(bmp::InfoHeaderBytes));
    detail::appendU32(out, width);
    detail::appendU32(out, static_cast<std::uint32_t>(-static_cast<std::int64_t>(height)));
    detail::appendU16(out, 1);
    detail::appendU16(out, 32);
    detail::appendU32(out, 0);
    detail::appendU32(out, static_cast<std::uint32_t>(imageSize));
    detail::appendU32(out, bmp::PixelsPerMetre);
    detail::appendU32(out, bmp::PixelsPerMetre);
    detail::appendU32(out, 0);
    detail::appendU32(out, 0);
    out.resize(static_cast<std::size_t>(bmp::HeaderBytes + imageSize));
    return out;
}

// Reads the bitmap and leaves in the model the header of the file a bitmap writer would make of the same
// pixels: bottom row first, and 24 bits when no pixel has alpha below 255.
Status decodeAsPlainBitmap(const std::vector<std::uint8_t>& bitmap, ImageModel& model) {
    if (Status status = decodeBitmap(bitmap, model); !status) {
        return status;
    }
    const int bytesPerPixel = model.AlphaPixelCount == 0 ? 3 : 4;
    const std::uint64_t imageSize =
        bmp::rowStrideBytes(static_cast<std::uint64_t>(model.Width), bytesPerPixel) *
        static_cast<std::uint64_t>(model.Height);
    if (imageSize + bmp::HeaderBytes > 0x7FFFFFFF) {
        return makeError(ErrorCode::TooLarge, "image too large for a bitmap file");
    }
    model.BitDepth = bytesPerPixel * 8;
    model.BmpImageSize = static_cast<std::int32_t>(imageSize);
    model.BmpFileSize = static_cast<std::int32_t>(imageSize + bmp::HeaderBytes);
    return {};
}

}  // namespace

bool isPngSignature(std::span<const std::uint8_t> head) {
    return head.size() >= sizeof PngSignature && std::memcmp(head.data(), PngSignature, sizeof PngSignature) == 0;
}

Status modelFromPixels(std::uint32_t width, std::uint32_t height, std::span<const PixelRecord> bottomRowFirst,
                       ImageModel& model) {
    if (width == 0 || height == 0 || std::uint64_t{width} * height != bottomRowFirst.size()) {
        return makeError(ErrorCode::Corrupt, "no image: " + std::to_string(width) + " x " +
                                                 std::to_string(height) + " pixels");
    }
    if (std::uint64_t{width} * height > bmp::MaxPixels) {
        return makeError(ErrorCode::TooLarge, "image too large: " + std::to_string(width) + " x " +
                                                  std::to_string(height) + " pixels");
    }
    std::vector<std::uint8_t> bitmap = topDownBitmap32(width, height);
    std::uint8_t* out = bitmap.data() + bmp::HeaderBytes;
    for (std::uint64_t row = height; row > 0; --row) {
        const PixelRecord* src = bottomRowFirst.data() + (row - 1) * width;
        for (std::uint32_t x = 0; x < width; ++x) {
            const auto colour = static_cast<std::uint32_t>(src[x].Color);
            *out++ = static_cast<std::uint8_t>(colour >> 16);
            *out++ = static_cast<std::uint8_t>(colour >> 8);
            *out++ = static_cast<std::uint8_t>(colour);
            *out++ = static_cast<std::uint8_t>(src[x].Alpha);
        }
    }
    return decodeAsPlainBitmap(bitmap, model);
}

Status decodePng(std::span<const std::uint8_t> file, ImageModel& model) {
    if (!isPngSignature(file)) {
        return makeError(ErrorCode::NotThisFormat, "not a PNG file");
    }
    Context ctx(spng_ctx_new(0));
    if (!ctx) {
        return makeError(ErrorCode::OutOfMemory, "out of memory");
    }
    spng_set_chunk_limits(ctx.get(), file.size(), ChunkCacheBytes);
    spng_set_image_limits(ctx.get(), 0x7FFFFFFF, 0x7FFFFFFF);
    if (int rc = spng_set_png_buffer(ctx.get(), file.data(), file.size()); rc != 0) {
        return pngError(rc);
    }
    spng_ihdr ihdr{};
    if (int rc = spng_get_ihdr(ctx.get(), &ihdr); rc != 0) {
        return pngError(rc, "bad PNG header");
    }
    const std::uint64_t pixels = std::uint64_t{ihdr.width} * ihdr.height;
    const std::string size = std::to_string(ihdr.width) + " x " + std::to_string(ihdr.height) + " pixels";
    if (pixels > MaxPngPixels) {
        return makeError(ErrorCode::TooLarge, "image too large: " + size + " (at most 2^26 pixels in a PNG)");
    }
    // The filtered rows the compressed data must inflate to: a file too small for them is a bomb or a
    // truncated file, and either way nothing is allocated for it.
    const std::uint64_t rowBytes = (std::uint64_t{ihdr.width} * samplesPerPixel(ihdr.color_type) * ihdr.bit_depth + 7) / 8;
    const std::uint64_t rawBytes = (rowBytes + 1) * ihdr.height;
    if (rawBytes > MaxInflateRatio * file.size() + InflateSlackBytes) {
        return makeError(ErrorCode::Truncated, "the PNG declares " + size + ", more than its " +
                                                   std::to_string(file.size()) + " bytes can hold");
    }
    std::size_t decodedBytes = 0;
    if (int rc = spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &decodedBytes); rc != 0) {
        return pngError(rc);
    }
    if (decodedBytes != pixels * 4) {
        return makeError(ErrorCode::Corrupt, "unexpected decoded size");
    }
    try {
        std::vector<std::uint8_t> bitmap = topDownBitmap32(ihdr.width, ihdr.height);
        std::uint8_t* rgba = bitmap.data() + bmp::HeaderBytes;
        if (int rc = spng_decode_image(ctx.get(), rgba, decodedBytes, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS); rc != 0) {
            return pngError(rc);
        }
        for (std::size_t i = 0; i < decodedBytes; i += 4) {
            std::swap(rgba[i], rgba[i + 2]);  // R G B A -> B G R A
        }
        return decodeAsPlainBitmap(bitmap, model);
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::TooLarge, "not enough memory for " + size);
    }
}

Status LoadPngImage(const std::filesystem::path& path, ImageModel& model) {
    return loadDecoded(tarvik::readWholeFile(path, MaxPngFileBytes), decodePng, model);
}

Result<std::vector<std::uint8_t>> encodePng(const ImageModel& model) {
    if (model.Width <= 0 || model.Height <= 0) {
        return makeError(ErrorCode::Corrupt, "no image to write: " + std::to_string(model.Width) + " x " +
                                                 std::to_string(model.Height) + " pixels");
    }
    const auto width = static_cast<std::size_t>(model.Width);
    const auto height = static_cast<std::size_t>(model.Height);
    if (model.Pixels.size() != width * height) {
        return makeError(ErrorCode::Corrupt, "the image holds " + std::to_string(model.Pixels.size()) +
                                                 " pixels, not " + std::to_string(width * height));
    }
    const bool alpha = model.RlAlphaFlag != 0;
    const std::size_t channels = alpha ? 4 : 3;
    std::vector<std::uint8_t> samples(width * height * channels);
    std::uint8_t* out = samples.data();
    for (const PixelRecord& pixel : model.Pixels) {
        const auto colour = static_cast<std::uint32_t>(pixel.Color);
        *out++ = static_cast<std::uint8_t>(colour);
        *out++ = static_cast<std::uint8_t>(colour >> 8);
        *out++ = static_cast<std::uint8_t>(colour >> 16);
        if (alpha) {
            *out++ = static_cast<std::uint8_t>(pixel.Alpha);
        }
    }

    Context ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx) {
        return makeError(ErrorCode::OutOfMemory, "out of memory");
    }
    spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(width);
    ihdr.height = static_cast<std::uint32_t>(height);
    ihdr.bit_depth = 8;
    ihdr.color_type = alpha ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
    if (int rc = spng_set_ihdr(ctx.get(), &ihdr); rc != 0) {
        return pngError(rc);
    }
    if (int rc = spng_encode_image(ctx.get(), samples.data(), samples.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
        rc != 0) {
        return pngError(rc);
    }
    std::size_t length = 0;
    int rc = 0;
    void* png = spng_get_png_buffer(ctx.get(), &length, &rc);
    if (png == nullptr || rc != 0) {
        std::free(png);
        return pngError(rc);
    }
    std::vector<std::uint8_t> bytes(static_cast<std::uint8_t*>(png), static_cast<std::uint8_t*>(png) + length);
    std::free(png);
    return bytes;
}

Status SavePngImage(const std::filesystem::path& path, const ImageModel& model) {
    return saveEncoded(path, model, encodePng);
}

}  // namespace imaging
