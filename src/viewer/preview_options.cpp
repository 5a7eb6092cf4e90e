#include "preview_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "program_settings.h"

namespace viewer {
namespace {

int readNumber(const std::filesystem::path& folder, std::string_view key, int fallback) {
    const std::string value = settings::readSetting(folder, key, "");
    int number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    return error == std::errc() && end == value.data() + value.size() ? number : fallback;
}

}  // namespace

PreviewOptions readPreviewOptions(const std::filesystem::path& settingsFolder) {
    PreviewOptions options;
    const int zoom = readNumber(settingsFolder, ZoomKey, options.zoom);
    if (zoom == FitZoom || std::ranges::find(ZoomSteps, zoom) != ZoomSteps.end()) {
        options.zoom = zoom;
    }
    const int background = readNumber(settingsFolder, BackgroundKey, 0);
    if (background >= 0 && background < BackgroundCount) {
        options.background = static_cast<Background>(background);
    }
    options.asShown = readNumber(settingsFolder, AsShownKey, 0) == 1;
    options.differences = readNumber(settingsFolder, DifferencesKey, 0) == 1;
    return options;
}

tarvik::Status writePreviewOptions(const std::filesystem::path& settingsFolder, const PreviewOptions& before,
                                   const PreviewOptions& now) {
    const auto write = [&](bool changed, std::string_view key, long long value) -> tarvik::Status {
        return changed ? settings::writeSetting(settingsFolder, key, value) : tarvik::Status{};
    };
    for (const tarvik::Status& status :
         {write(before.zoom != now.zoom, ZoomKey, now.zoom),
          write(before.background != now.background, BackgroundKey, static_cast<int>(now.background)),
          write(before.asShown != now.asShown, AsShownKey, now.asShown ? 1 : 0),
          write(before.differences != now.differences, DifferencesKey, now.differences ? 1 : 0)}) {
        if (!status) {
            return status;
        }
    }
    return {};
}

Backdrop backdropOf(Background background) {
    switch (background) {
    case Background::Checkerboard:
        return {0xFFFFFF, 0xCCCCCC};
    case Background::Black:
        return {0x000000, 0x000000};
    case Background::White:
        return {0xFFFFFF, 0xFFFFFF};
    case Background::LightGrey:
        break;
    }
    return {};
}

int steppedZoom(double scale, int direction) {
    if (direction > 0) {
        for (const int step : ZoomSteps) {
            if (step > scale + 1e-9) {
                return step;
            }
        }
        return ZoomSteps.back();
    }
    for (auto step = ZoomSteps.rbegin(); step != ZoomSteps.rend(); ++step) {
        if (*step < scale - 1e-9) {
            return *step;
        }
    }
    return ZoomSteps.front();
}

double zoomScale(int zoom, int imageWidth, int imageHeight, int availableWidth, int availableHeight) {
    if (zoom != FitZoom) {
        return zoom;
    }
    if (imageWidth <= 0 || imageHeight <= 0 || availableWidth <= 0 || availableHeight <= 0) {
        return 1;
    }
    const double fit = std::min(static_cast<double>(availableWidth) / imageWidth,
                                static_cast<double>(availableHeight) / imageHeight);
    return fit >= 1 ? std::floor(fit) : fit;
}

}  // namespace viewer
