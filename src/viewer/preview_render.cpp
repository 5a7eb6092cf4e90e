#include "preview_render.h"

namespace viewer {

std::int32_t BlendColor(std::int32_t backColor, std::int32_t foreColor, std::int32_t alpha) {
    std::int32_t result = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const std::int32_t back = (backColor >> shift) & 0xFF;
        const std::int32_t fore = (foreColor >> shift) & 0xFF;
        // A multiple of 255 plus a half is never an integer, so rounding to the nearest never meets a tie and
        // halves-to-even needs no special case.
        const std::int32_t mixed = ((255 - alpha) * back + alpha * fore + 127) / 255;
        result |= (mixed & 0xFF) << shift;
    }
    return result;
}

bool renderPreview(const imaging::ImageModel& model, PixelOrder order, const PreviewPlanes& planes,
                   PreviewCounts& counts) {
    counts = {};
    if (model.Width <= 0 || model.Height <= 0 || planes.withTransparency == nullptr ||
        planes.withoutTransparency == nullptr || planes.alphaChannel == nullptr) {
        return false;
    }
    const auto width = static_cast<std::size_t>(model.Width);
    const auto height = static_cast<std::size_t>(model.Height);
    if (model.Pixels.size() / width < height) {
        return false;
    }
    const bool hasAlpha = model.BitDepth == 32;
    const std::uint32_t back = toRgb32(PreviewBackColor);
    for (std::size_t row = 0; row < height; ++row) {
        const std::size_t y = order == PixelOrder::BottomRowFirst ? height - 1 - row : row;
        const imaging::PixelRecord* source = model.Pixels.data() + row * width;
        std::uint32_t* withAlpha = planes.withTransparency + y * planes.wordsPerLine;
        std::uint32_t* colors = planes.withoutTransparency + y * planes.wordsPerLine;
        std::uint8_t* mask = planes.alphaChannel + y * planes.alphaBytesPerLine;
        for (std::size_t x = 0; x < width; ++x) {
            const std::int32_t color = source[x].Color;
            const std::int32_t alpha = source[x].Alpha;
            colors[x] = toRgb32(color);
            if (alpha == 0 && hasAlpha) {
                withAlpha[x] = back;
                mask[x] = AlphaMaskBlack;
                ++counts.transparentPixels;
                ++counts.alphaPixels;
            } else if (alpha == 255) {
                withAlpha[x] = colors[x];
                mask[x] = AlphaMaskBack;
            } else if (hasAlpha) {
                withAlpha[x] = toRgb32(BlendColor(PreviewBackColor, color, alpha));
                mask[x] = AlphaMaskBlack;
                ++counts.alphaPixels;
            } else {
                // A partial alpha in an image without an alpha channel is never drawn.
                withAlpha[x] = back;
                mask[x] = AlphaMaskBack;
            }
        }
    }
    return true;
}

}  // namespace viewer
