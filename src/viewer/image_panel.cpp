#include "image_panel.h"

#include <algorithm>

namespace viewer {
namespace {

std::string withUnit(long long value, const char* unit) {
    return std::to_string(value) + unit;
}

}  // namespace

ImagePanel startPanel() {
    return ImagePanel{};
}

ImagePanel failedLoadPanel() {
    ImagePanel panel;
    panel.fileSize.clear();
    panel.width.clear();
    panel.height.clear();
    panel.colorDepth.clear();
    return panel;
}

ImagePanel bitmapPanel(const imaging::ImageModel& model) {
    ImagePanel panel;
    panel.fileSize = withUnit(model.BmpFileSize, " Octet(s)");
    panel.width = withUnit(model.Width, " Pixel(s)");
    panel.height = withUnit(model.Height, " Pixel(s)");
    panel.colorDepth = withUnit(model.BitDepth, " Bits");
    panel.windowsColors = std::to_string(model.WindowsColorCount);
    panel.compressedColors = std::to_string(model.CompressedColorCount);
    panel.windowsColorsEnabled = true;
    panel.compressedColorsEnabled = true;
    if (model.BitDepth == 32) {
        panel.alphaControlsEnabled = true;
        panel.alphaPixels = std::to_string(model.AlphaPixelCount);
        panel.transparentPixels = std::to_string(model.TransparentPixelCount);
        panel.alphaUsed = model.AlphaPixelCount > 0;
    }
    return panel;
}

ImagePanel compressedPanel(const imaging::ImageModel& model, std::uintmax_t fileLength) {
    ImagePanel panel;
    panel.fileSize = std::to_string(fileLength) + " Octet(s)";
    panel.width = withUnit(model.Width, " Pixel(s)");
    panel.height = withUnit(model.Height, " Pixel(s)");
    panel.colorDepth = "16 Bits";
    panel.windowsColors = std::to_string(std::max(0, model.RlPaletteCount - 1));
    panel.compressedColors = panel.windowsColors;
    panel.compressedColorsEnabled = true;
    panel.alphaControlsEnabled = model.RlAlphaFlag != 0;
    return panel;
}

void applyCompressedPreview(ImagePanel& panel, const imaging::ImageModel& model,
                            const PreviewCounts& counts) {
    panel.windowsColors = "0";
    panel.compressedColors = std::to_string(std::max(0, model.RlPaletteCount - 1));
    panel.alphaPixels = std::to_string(counts.alphaPixels);
    panel.transparentPixels = std::to_string(counts.transparentPixels);
    panel.alphaUsed = counts.alphaPixels > 0;
}

}  // namespace viewer
