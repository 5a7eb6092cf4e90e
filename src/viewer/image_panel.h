#pragma once

// What the image tab's information panel shows for the image in the ImageModel: the texts with their units
// and which of the panel's controls are enabled. The window copies it onto its widgets.

#include <cstdint>
#include <string>

#include "image_model.h"
#include "preview_render.h"

namespace viewer {

struct ImagePanel {
    // LblTailleFichier, LbLargeurImg, LbHauteurImg, LblColorDef.
    std::string fileSize = "--";
    std::string width = "--";
    std::string height = "--";
    std::string colorDepth = "--";
    // TxtNbCouleur, TxtNbCouleur16, TxtNbAlpha, TxtNbAlpha0.
    std::string windowsColors = "0";
    std::string compressedColors = "0";
    std::string alphaPixels = "0";
    std::string transparentPixels = "0";
    // LblNbCouleurs with TxtNbCouleur; LblNbCouleurs16 with TxtNbCouleur16.
    bool windowsColorsEnabled = false;
    bool compressedColorsEnabled = false;
    // The display-mode options with their labels, ChkAlpha with its label, and both alpha counters.
    bool alphaControlsEnabled = false;
    // ChkAlpha.
    bool alphaUsed = false;
};

// The panel as the window starts: "--" for the file values, "0" for the counters, nothing enabled.
ImagePanel startPanel();

// What a failed load leaves: the file values empty, the counters "0", nothing enabled.
ImagePanel failedLoadPanel();

// After a Windows bitmap load: the header's file size and depth, every statistic, the alpha part for a
// 32-bit image only.
ImagePanel bitmapPanel(const imaging::ImageModel& model);

// After an RL load, before the preview: the file's real length, "16 Bits", the palette's colour count in
// both colour counters (the Windows one disabled), the alpha part when the image has transparency.
ImagePanel compressedPanel(const imaging::ImageModel& model, std::uintmax_t fileLength);

// The RL preview's own counts replace the counters: no Windows colours, the palette's colours, the pixels
// it met that are not fully opaque.
void applyCompressedPreview(ImagePanel& panel, const imaging::ImageModel& model, const PreviewCounts& counts);

}  // namespace viewer
