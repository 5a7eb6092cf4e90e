#pragma once

// How the preview window shows its image beyond the display mode: the zoom, what shows through
// transparent pixels, whether it shows the image as the RL file will hold it, and whether it marks the
// pixels that change. Remembered in the settings file so that a reopened preview looks as it was left.

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "preview_render.h"
#include "result.h"

namespace viewer {

enum class Background { LightGrey = 0, Checkerboard = 1, Black = 2, White = 3 };
inline constexpr int BackgroundCount = 4;

// The zoom steps of the menu and of Ctrl + wheel; FitZoom asks for the largest size that fits the screen.
inline constexpr std::array<int, 4> ZoomSteps{1, 2, 4, 8};
inline constexpr int FitZoom = 0;

struct PreviewOptions {
    int zoom = 1;  // one of ZoomSteps, or FitZoom
    Background background = Background::LightGrey;
    bool asShown = false;
    bool differences = false;
    bool operator==(const PreviewOptions&) const = default;
};

// Keys of section "GENERAL"; a missing or unusable value gives the default above.
inline constexpr std::string_view ZoomKey = "PreviewZoom";
inline constexpr std::string_view BackgroundKey = "PreviewBackground";
inline constexpr std::string_view AsShownKey = "PreviewAsShown";
inline constexpr std::string_view DifferencesKey = "PreviewDifferences";

PreviewOptions readPreviewOptions(const std::filesystem::path& settingsFolder);
// Writes the values that differ from `before` only, so that an untouched setting is never written.
tarvik::Status writePreviewOptions(const std::filesystem::path& settingsFolder, const PreviewOptions& before,
                                   const PreviewOptions& now);

Backdrop backdropOf(Background background);

// The next zoom step up (direction > 0) or down from the scale the preview shows now (fitting may show a
// scale between the steps); stays at the ends.
int steppedZoom(double scale, int direction);

// The scale a zoom shows an image of `imageWidth` x `imageHeight` at, when `availableWidth` x
// `availableHeight` pixels of screen are free. Fitting never enlarges by a fraction, so pixels stay
// square blocks: a small image fits at the largest whole factor, a large one is reduced to fit.
double zoomScale(int zoom, int imageWidth, int imageHeight, int availableWidth, int availableHeight);

}  // namespace viewer
