#pragma once

// FrmImage, the preview window beside the main window: three pictures of the same size in the same place,
// one per display mode, of which one is visible at a time. Each picture is computed once, in memory, when an
// image is previewed, and painted from there.

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

    // Builds the three pictures from the model and sizes the window to them; the window stays hidden. False,
    // without a change to the pictures, when the model holds no complete image or memory is short.
    bool drawImage(const imaging::ImageModel& model, PixelOrder order, PreviewCounts& counts);

    // Shows the picture of mode `index` and hides the other two; any other index changes nothing.
    void OptAffichage_Click(int index);
    int displayMode() const { return m_mode; }

    // PictImgAlpha, PictImg and PictAlpha by display mode.
    PreviewPicture* picture(DisplayMode mode) const { return m_pictures[static_cast<std::size_t>(mode)]; }
    // Left edge at the main window's right edge, top at its top.
    void placeBeside(const QWidget* mainWindow);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void centrePictures();

    std::array<PreviewPicture*, DisplayModeCount> m_pictures{};
    QSize m_imageSize;
    int m_mode = 0;
};

}  // namespace viewer
