#pragma once

// PNG files in and out. A PNG is read as the bitmap of the same pixels would be (32 bits with alpha, or 24
// when every pixel is opaque), so every statistic and every RL byte made from it matches that bitmap's.

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "image_model.h"

namespace imaging {

// PNG files above this size are refused unread: no image this tool has use for comes near it.
inline constexpr std::uintmax_t MaxPngFileBytes = std::uintmax_t{1} << 30;

// True when the bytes start with the 8-byte PNG signature.
bool isPngSignature(std::span<const std::uint8_t> head);

// Fills the model as LoadBitmapImage does from the bitmap of these pixels (bottom row first): header fields
// of that bitmap, Pixels, palette and the four counters.
Status modelFromPixels(std::uint32_t width, std::uint32_t height, std::span<const PixelRecord> bottomRowFirst,
                       ImageModel& model);

// Any colour type and bit depth; 16-bit samples keep their high byte. Hostile files fail with a reason:
// sizes above 2^26 pixels, sizes the compressed data could never fill, bad checksums, truncation, and a
// lack of memory for what they declare.
Status decodePng(std::span<const std::uint8_t> file, ImageModel& model);
Status LoadPngImage(const std::filesystem::path& path, ImageModel& model);

// Writes the model as the bitmap writer does (Pixels top row first, as after an RL load): RGBA when
// RlAlphaFlag is set, RGB otherwise, 8 bits a sample.
Result<std::vector<std::uint8_t>> encodePng(const ImageModel& model);
Status SavePngImage(const std::filesystem::path& path, const ImageModel& model);

}  // namespace imaging
