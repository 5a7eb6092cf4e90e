#include <limits>
#include <new>

#include "bmp_format.h"
#include "bmp_stream.h"
#include "byte_order.h"
#include "file_io.h"
#include "image_model.h"

namespace imaging {

using detail::appendU16;
using detail::appendU32;
using tarvik::makeError;

Result<std::vector<std::uint8_t>> detail::bitmapHeaderFor(const ImageModel& model) {
    if (model.Width <= 0 || model.Height <= 0) {
        return makeError(ErrorCode::Corrupt, "no image to write: " + std::to_string(model.Width) + " x " +
                                                 std::to_string(model.Height) + " pixels");
    }
    const auto width = static_cast<std::uint64_t>(model.Width);
    const auto height = static_cast<std::uint64_t>(model.Height);
    // Transparency or an alpha table in the RL source makes a 32-bit file with alpha; else plain 24 bits.
    const int bytesPerPixel = model.RlAlphaFlag != 0 ? 4 : 3;
    const std::uint64_t rowStride = bmp::rowStrideBytes(width, bytesPerPixel);
    const std::uint64_t imageSize = rowStride * height;
    if (imageSize + bmp::HeaderBytes > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        return makeError(ErrorCode::TooLarge, "image too large for a bitmap file");
    }
    std::vector<std::uint8_t> out;
    out.reserve(bmp::HeaderBytes);
    out.push_back('B');
    out.push_back('M');
    appendU32(out, static_cast<std::uint32_t>(imageSize + bmp::HeaderBytes));
    appendU32(out, 0);
    appendU32(out, static_cast<std::uint32_t>(bmp::HeaderBytes));
    appendU32(out, static_cast<std::uint32_t>(bmp::InfoHeaderBytes));
    appendU32(out, static_cast<std::uint32_t>(width));
    appendU32(out, static_cast<std::uint32_t>(height));
    appendU16(out, 1);
    appendU16(out, static_cast<std::uint32_t>(bytesPerPixel * 8));
    appendU32(out, 0);
    appendU32(out, static_cast<std::uint32_t>(imageSize));
    appendU32(out, bmp::PixelsPerMetre);
    appendU32(out, bmp::PixelsPerMetre);
    appendU32(out, 0);
    appendU32(out, 0);
    return out;
}

Result<std::vector<std::uint8_t>> encodeBitmap(const ImageModel& model) {
    Result<std::vector<std::uint8_t>> header = detail::bitmapHeaderFor(model);
    if (!header) {
        return header.error();
    }
    const auto width = static_cast<std::uint64_t>(model.Width);
    const auto height = static_cast<std::uint64_t>(model.Height);
    if (model.Pixels.size() != width * height) {
        return makeError(ErrorCode::Corrupt, "the image holds " + std::to_string(model.Pixels.size()) +
                                                 " pixels, not " + std::to_string(width * height));
    }
    const int bytesPerPixel = model.RlAlphaFlag != 0 ? 4 : 3;
    const std::uint64_t rowStride = bmp::rowStrideBytes(width, bytesPerPixel);
    const std::uint64_t imageSize = rowStride * height;
    std::vector<std::uint8_t> out;
    try {
        out = std::move(header.value());
        out.resize(static_cast<std::size_t>(imageSize + bmp::HeaderBytes));
    } catch (const std::bad_alloc&) {
        return makeError(ErrorCode::OutOfMemory, notEnoughMemory(width, height));
    }
    std::uint8_t* dst = out.data() + bmp::HeaderBytes;
    const std::size_t padding = static_cast<std::size_t>(rowStride - width * bytesPerPixel);
    // The last row of Pixels is written first: an RL load holds the top row first, a bitmap stores the
    // bottom row first.
    for (std::uint64_t row = height; row > 0; --row) {
        const PixelRecord* src = model.Pixels.data() + (row - 1) * width;
        for (std::uint64_t x = 0; x < width; ++x) {
            const auto color = static_cast<std::uint32_t>(src[x].Color);
            *dst++ = static_cast<std::uint8_t>(color >> 16);
            *dst++ = static_cast<std::uint8_t>(color >> 8);
            *dst++ = static_cast<std::uint8_t>(color);
            if (bytesPerPixel == 4) {
                *dst++ = static_cast<std::uint8_t>(src[x].Alpha);
            }
        }
        dst += padding;  // already zero
    }
    return out;
}

Status SaveBitmapImage(const std::filesystem::path& path, const ImageModel& model) {
    return saveEncoded(path, model, encodeBitmap);
}

}  // namespace imaging
