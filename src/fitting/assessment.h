#pragma once

// What a user needs to know before converting: whether plain compression takes the image as it is, how long
// its longest row's codes are, and how many combinations remain after the free step of fitting.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "image_model.h"

namespace fitting {

struct Assessment {
    bool fits = false;  // plain compression would write it
    // Bytes of codes of the longest row as plain compression codes it; none while the palette is over budget
    // (the rows then have no codes to count).
    std::optional<std::int32_t> longestRowBytes;
    std::int32_t freeCombinations = 0;  // combinations once every pixel is snapped to what RL shows
    std::string refusal;                // why plain compression refuses, empty when it fits
};

// For an image in memory (Pixels bottom row first, statistics filled, as the bitmap reader leaves them).
Assessment assessImage(const imaging::ImageModel& model);

// For a Windows bitmap, streaming its rows instead of holding them; the model receives what
// inspectBitmapImage gives. Fails where the bitmap reader fails.
tarvik::Result<Assessment> assessBitmapFile(const std::filesystem::path& path, imaging::ImageModel& model);

}  // namespace fitting
