#pragma once

// The three pictures of the preview window, computed from the ImageModel in one pass: the image over the
// light grey background with its transparency applied, every pixel's colour with alpha ignored, and the
// alpha channel alone (black wherever a pixel is not fully opaque).

#include <cstddef>
#include <cstdint>

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

// Where the pictures go, Width x Height each, rows top first. The two colour pictures take 0xFFRRGGBB words;
// the alpha picture takes one byte per pixel, AlphaMaskBlack or AlphaMaskBack.
struct PreviewPlanes {
    std::uint32_t* withTransparency = nullptr;
    std::uint32_t* withoutTransparency = nullptr;
    std::size_t wordsPerLine = 0;
    std::uint8_t* alphaChannel = nullptr;
    std::size_t alphaBytesPerLine = 0;
};
inline constexpr std::uint8_t AlphaMaskBack = 0;
inline constexpr std::uint8_t AlphaMaskBlack = 1;

// What the drawing met: pixels not fully opaque (transparent ones included) and fully transparent pixels.
// Only a 32-bit image counts them, as only a 32-bit image blends.
struct PreviewCounts {
    std::int64_t alphaPixels = 0;
    std::int64_t transparentPixels = 0;
};

// Fills the three planes. False, with nothing written, when the model holds no image or fewer pixels than
// Width x Height.
bool renderPreview(const imaging::ImageModel& model, PixelOrder order, const PreviewPlanes& planes,
                   PreviewCounts& counts);

}  // namespace viewer
