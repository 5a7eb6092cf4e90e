#include "preview_render.h"

#include <algorithm>

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

namespace {

bool holdsImage(const imaging::ImageModel& model) {
    return model.Width > 0 && model.Height > 0 &&
           model.Pixels.size() / static_cast<std::size_t>(model.Width) >=
               static_cast<std::size_t>(model.Height);
}

// Calls draw(source row, destination row index) for each row of the model.
template <class Draw>
bool forEachRow(const imaging::ImageModel& model, PixelOrder order, Draw draw) {
    if (!holdsImage(model)) {
        return false;
    }
    const auto width = static_cast<std::size_t>(model.Width);
    const auto height = static_cast<std::size_t>(model.Height);
    for (std::size_t row = 0; row < height; ++row) {
        draw(model.Pixels.data() + row * width, order == PixelOrder::BottomRowFirst ? height - 1 - row : row);
    }
    return true;
}

}  // namespace

bool renderWithTransparency(const imaging::ImageModel& model, PixelOrder order, std::uint32_t* bits,
                            std::size_t wordsPerLine, PreviewCounts& counts, const Backdrop& backdrop) {
    const auto width = static_cast<std::size_t>(std::max(model.Width, 0));
    const bool hasAlpha = model.BitDepth == 32;
    const bool uniform = backdrop.color == backdrop.otherColor;
    // Counted in locals, so the compiler keeps them in registers across the stores into the picture.
    std::int64_t alphaPixels = 0;
    std::int64_t transparentPixels = 0;
    const bool drawn = forEachRow(model, order, [&](const imaging::PixelRecord* source, std::size_t y) {
        std::uint32_t* const line = bits + y * wordsPerLine;
        for (std::size_t x = 0; x < width; ++x) {
            const std::int32_t alpha = source[x].Alpha;
            if (alpha == 255) {
                line[x] = toRgb32(source[x].Color);
                continue;
            }
            const std::int32_t back = uniform ? backdrop.color : backdrop.at(x, y);
            if (!hasAlpha) {
                // A partial alpha in an image without an alpha channel is never drawn.
                line[x] = toRgb32(back);
            } else if (alpha == 0) {
                line[x] = toRgb32(back);
                ++transparentPixels;
                ++alphaPixels;
            } else {
                line[x] = toRgb32(BlendColor(back, source[x].Color, alpha));
                ++alphaPixels;
            }
        }
    });
    counts = drawn ? PreviewCounts{alphaPixels, transparentPixels} : PreviewCounts{};
    return drawn;
}

bool renderWithoutTransparency(const imaging::ImageModel& model, PixelOrder order, std::uint32_t* bits,
                               std::size_t wordsPerLine) {
    const auto width = static_cast<std::size_t>(std::max(model.Width, 0));
    return forEachRow(model, order, [&](const imaging::PixelRecord* source, std::size_t y) {
        std::uint32_t* const line = bits + y * wordsPerLine;
        for (std::size_t x = 0; x < width; ++x) {
            line[x] = toRgb32(source[x].Color);
        }
    });
}

bool renderAlphaChannel(const imaging::ImageModel& model, PixelOrder order, std::uint8_t* bits,
                        std::size_t bytesPerLine) {
    const auto width = static_cast<std::size_t>(std::max(model.Width, 0));
    const bool hasAlpha = model.BitDepth == 32;
    return forEachRow(model, order, [&](const imaging::PixelRecord* source, std::size_t y) {
        std::uint8_t* const line = bits + y * bytesPerLine;
        for (std::size_t x = 0; x < width; ++x) {
            line[x] = hasAlpha && source[x].Alpha != 255 ? AlphaMaskBlack : AlphaMaskBack;
        }
    });
}

std::vector<std::uint8_t> differenceMask(const imaging::ImageModel& reference, PixelOrder referenceOrder,
                                         PixelChange changed, const imaging::ImageModel& image,
                                         PixelOrder imageOrder) {
    if (!holdsImage(reference) || !holdsImage(image) || reference.Width != image.Width ||
        reference.Height != image.Height) {
        return {};
    }
    const auto width = static_cast<std::size_t>(image.Width);
    const auto height = static_cast<std::size_t>(image.Height);
    std::vector<std::uint8_t> mask(width * height, 0);
    const auto rowOf = [height](PixelOrder order, std::size_t y) {
        return order == PixelOrder::BottomRowFirst ? height - 1 - y : y;
    };
    for (std::size_t y = 0; y < height; ++y) {
        const imaging::PixelRecord* want = reference.Pixels.data() + rowOf(referenceOrder, y) * width;
        const imaging::PixelRecord* got = image.Pixels.data() + rowOf(imageOrder, y) * width;
        std::uint8_t* const line = mask.data() + y * width;
        for (std::size_t x = 0; x < width; ++x) {
            line[x] = changed(want[x], got[x]) ? 1 : 0;
        }
    }
    return mask;
}

void markDifferences(std::uint32_t* bits, std::size_t wordsPerLine, std::size_t width, std::size_t height,
                     const std::vector<std::uint8_t>& mask) {
    if (mask.size() != width * height) {
        return;
    }
    // A third of the colour, two thirds of the window's dark grey (64): the picture stays readable while
    // no dimmed pixel comes near the mark's full magenta.
    const auto dim = [](std::uint32_t channel) { return (channel + 2 * 64) / 3; };
    for (std::size_t y = 0; y < height; ++y) {
        std::uint32_t* const line = bits + y * wordsPerLine;
        const std::uint8_t* const marks = mask.data() + y * width;
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t c = line[x];
            line[x] = marks[x] != 0 ? DifferenceMark
                                    : 0xFF000000u | dim((c >> 16) & 0xFF) << 16 | dim((c >> 8) & 0xFF) << 8 |
                                          dim(c & 0xFF);
        }
    }
}

}  // namespace viewer
