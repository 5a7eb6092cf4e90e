#pragma once

// The three pictures of the preview window, computed from the ImageModel: the image over the light grey
// background with its transparency applied, every pixel's colour with alpha ignored, and the alpha channel
// alone (black wherever a pixel is not fully opaque).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image_model.h"

namespace viewer {

// Light grey (224, 224, 224): shows through transparent pixels and stands for opaque ones in the alpha
// picture.
inline constexpr std::int32_t PreviewBackColor = 0xE0E0E0;

// ((255 - alpha) * back + alpha * fore) / 255 per channel, rounded to the nearest. Colours are 0x00BBGGRR.
// Alpha 128 over the light grey turns pure red into (240, 112, 112).
std::int32_t BlendColor(std::int32_t backColor, std::int32_t foreColor, std::int32_t alpha);

// 0x00BBGGRR to the 0xFFRRGGBB word of a 32-bit RGB image.
constexpr std::uint32_t toRgb32(std::int32_t color) {
    const auto value = static_cast<std::uint32_t>(color);
    return 0xFF000000u | ((value & 0xFFu) << 16) | (value & 0xFF00u) | ((value >> 16) & 0xFFu);
}

// A bitmap load keeps the bottom row first, an RL load the top row first.
enum class PixelOrder { BottomRowFirst, TopRowFirst };

// What the drawing met: pixels not fully opaque (transparent ones included) and fully transparent pixels.
// Only a 32-bit image counts them, as only a 32-bit image blends.
struct PreviewCounts {
    std::int64_t alphaPixels = 0;
    std::int64_t transparentPixels = 0;
};

// Each function fills one picture of Width x Height pixels, rows top first, and returns false, with nothing
// written, when the model holds no image or fewer pixels than Width x Height. The colour pictures take
// 0xFFRRGGBB words, `wordsPerLine` apart; the alpha picture one byte per pixel, AlphaMaskBlack or
// AlphaMaskBack.

// What shows through transparent pixels in mode 0: one colour, or a checkerboard of two whose squares are
// CheckerCell image pixels wide (so the squares grow with the zoom, as the pixels do).
struct Backdrop {
    std::int32_t color = PreviewBackColor;  // 0x00BBGGRR
    std::int32_t otherColor = PreviewBackColor;
    static constexpr int CheckerCell = 8;
    std::int32_t at(std::size_t x, std::size_t y) const {
        return ((x / CheckerCell) + (y / CheckerCell)) % 2 == 0 ? color : otherColor;
    }
};

// Mode 0: opaque pixels in their colour, partly transparent ones blended over the backdrop, fully
// transparent ones the backdrop. Also counts what it met.
bool renderWithTransparency(const imaging::ImageModel& model, PixelOrder order, std::uint32_t* bits,
                            std::size_t wordsPerLine, PreviewCounts& counts, const Backdrop& backdrop = {});
// Mode 1: every pixel's colour, alpha ignored.
bool renderWithoutTransparency(const imaging::ImageModel& model, PixelOrder order, std::uint32_t* bits,
                               std::size_t wordsPerLine);
// Mode 2: black wherever a pixel of a 32-bit image is not fully opaque.
inline constexpr std::uint8_t AlphaMaskBack = 0;
inline constexpr std::uint8_t AlphaMaskBlack = 1;
bool renderAlphaChannel(const imaging::ImageModel& model, PixelOrder order, std::uint8_t* bits,
                        std::size_t bytesPerLine);

// Where two images of the same size differ, one byte per pixel (1 = differs), rows top first, as `changed`
// tells for each reference pixel and image pixel (so that what the RL format cannot hold anyway need not
// count). Empty when either holds no complete image or the sizes differ.
using PixelChange = bool (*)(const imaging::PixelRecord& reference, const imaging::PixelRecord& shown);
std::vector<std::uint8_t> differenceMask(const imaging::ImageModel& reference, PixelOrder referenceOrder,
                                         PixelChange changed, const imaging::ImageModel& image,
                                         PixelOrder imageOrder);

// The differences view over a picture of 0xFFRRGGBB words: differing pixels magenta, the others dimmed
// towards the window's dark grey so the marks stand out.
inline constexpr std::uint32_t DifferenceMark = 0xFFFF00FF;
void markDifferences(std::uint32_t* bits, std::size_t wordsPerLine, std::size_t width, std::size_t height,
                     const std::vector<std::uint8_t>& mask);

}  // namespace viewer
