#pragma once

// Which reader a file needs, by its first bytes and never by its name, and reading pictures (bitmaps and
// PNG files) into the model as the bitmap reader fills it.

#include <cstdint>
#include <filesystem>
#include <span>

#include "image_model.h"

namespace imaging {

enum class FileKind { Unknown, Bitmap, Rl, Png };

// "BM", "RL" (exact case) or the 8-byte PNG signature; anything else, an empty file included, is Unknown.
FileKind fileKindOf(std::span<const std::uint8_t> head);
Result<FileKind> detectFileKind(const std::filesystem::path& path);

// A Windows bitmap or a PNG file, as LoadBitmapImage leaves a bitmap (a PNG as the bitmap of its pixels).
Status loadPicture(const std::filesystem::path& path, FileKind kind, ImageModel& model);
Status decodePicture(std::span<const std::uint8_t> file, FileKind kind, ImageModel& model);

// True when the name ends in ".png", in any case: decompression then writes a PNG instead of a bitmap.
bool namesPngFile(const std::filesystem::path& path);

}  // namespace imaging
