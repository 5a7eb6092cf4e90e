#pragma once

// FrmImage, the preview window beside the main window: three pictures of the same size in the same place,
// one per display mode, of which one is visible at a time. Each picture is computed once, in memory, and
// painted from there: the first mode's when the image is previewed, the two others when first shown, so a
// large image opens without paying for pictures the user may never look at.

#include <QImage>
#include <QWidget>

#include <array>

#include "preview_render.h"

namespace viewer {

// One picture of the preview: an image painted unscaled at the top left.
class PreviewPicture : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPicture(QWidget* parent = nullptr);
    void setImage(QImage image);
    const QImage& image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

// Display modes, indexes of the OptAffichage options.
enum class DisplayMode { WithTransparency = 0, WithoutTransparency = 1, AlphaChannel = 2 };
inline constexpr int DisplayModeCount = 3;

// Sizes a window so that its client area is clientWidth x clientHeight, but never narrower than
// FrmImage::MinimumClientWidth: the window frame needs room for its title and buttons.
void FitWindowToClient(QWidget* window, int clientWidth, int clientHeight);

class FrmImage : public QWidget {
    Q_OBJECT
public:
    static constexpr QRgb WindowColor = 0xFF404040;  // dark grey beside the pictures
    static constexpr int MinimumClientWidth = 120;

    explicit FrmImage(QWidget* parent = nullptr);

    // Builds the first mode's picture from the model and sizes the window to it; the window stays hidden. The
    // other pictures are built from the same model when first shown: the model must outlive the window or
    // the next drawImage. False when the model holds no complete image or memory is short.
    bool drawImage(const imaging::ImageModel& model, PixelOrder order, PreviewCounts& counts);

    // Shows the picture of mode `index` and hides the other two; any other index changes nothing.
    void OptAffichage_Click(int index);
    int displayMode() const { return m_mode; }

    // PictImgAlpha, PictImg and PictAlpha by display mode.
    PreviewPicture* picture(DisplayMode mode) const { return m_pictures[static_cast<std::size_t>(mode)]; }
    // The picture of a mode, built first if it has not been yet; null when it cannot be built.
    const QImage& image(DisplayMode mode);
    // Left edge at the main window's right edge, top at its top.
    void placeBeside(const QWidget* mainWindow);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void centrePictures();
    bool build(int mode);

    std::array<PreviewPicture*, DisplayModeCount> m_pictures{};
    std::array<bool, DisplayModeCount> m_built{};
    const imaging::ImageModel* m_model = nullptr;
    PixelOrder m_order = PixelOrder::BottomRowFirst;
    QSize m_imageSize;
    int m_mode = 0;
};

}  // namespace viewer
