#pragma once

// FrmImage, the preview window beside the main window: three pictures of the same size in the same place,
// one per display mode, of which one is visible at a time. Each picture is computed once, in memory, and
// painted from there: the first mode's when the image is previewed, the two others when first shown, so a
// large image opens without paying for pictures the user may never look at.
//
// Its context menu zooms (whole factors, nearest neighbour, or fitted to the screen), chooses what shows
// through transparent pixels, shows the image as the RL file will hold it and marks the pixels that change
// on the way. The window grows with the zoom up to the screen's free area and scrolls beyond it.

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "preview_options.h"
#include "preview_render.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QScrollArea;

namespace viewer {

// One picture of the preview: an image painted at the preview's scale, top left, pixels as sharp blocks.
class PreviewPicture : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPicture(QWidget* parent = nullptr);
    void setImage(QImage image);
    const QImage& image() const { return m_image; }
    void setScale(double scale);
    double scale() const { return m_scale; }
    // The image's size at the scale.
    QSize scaledSize() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    double m_scale = 1;
};

// Display modes, indexes of the OptAffichage options.
enum class DisplayMode { WithTransparency = 0, WithoutTransparency = 1, AlphaChannel = 2 };
inline constexpr int DisplayModeCount = 3;

// Sizes a window so that its client area is clientWidth x clientHeight, but never narrower than
// FrmImage::MinimumClientWidth: the window frame needs room for its title and buttons.
void FitWindowToClient(QWidget* window, int clientWidth, int clientHeight);

// The texts of the context menu, from the active language file.
struct PreviewTexts {
    QString zoom, zoomFit, background, asShown, differences, reduce;
    std::array<QString, BackgroundCount> backgrounds;
};

class FrmImage : public QWidget {
    Q_OBJECT
public:
    static constexpr QRgb WindowColor = 0xFF404040;  // dark grey beside the pictures
    static constexpr int MinimumClientWidth = 120;

    explicit FrmImage(QWidget* parent = nullptr);
    ~FrmImage() override;

    // Builds the first mode's picture from the model and sizes the window to it; the window stays hidden. The
    // other pictures are built from the same model when first shown: the model must outlive the window or
    // the next drawImage. False when the model holds no complete image or memory is short. Forgets the
    // image as shown by the RL file.
    bool drawImage(const imaging::ImageModel& model, PixelOrder order, PreviewCounts& counts);

    // The image as the RL file will show it, top row first, the same size as the model, and where it differs
    // from the model (differenceMask). It is asked for (optionsChanged) only when the options need it. Null
    // when it cannot be had: the menu's two entries are then disabled until the next drawImage, and the
    // model is shown as it is.
    void setShownImage(std::shared_ptr<const imaging::ImageModel> shown, std::vector<std::uint8_t> differences);
    bool hasShownImage() const { return m_shown != nullptr; }
    bool shownImageUnavailable() const { return m_shownUnavailable; }
    // Pixels marked by the differences view, once the image as shown is known.
    std::optional<std::int64_t> differenceCount() const;

    const PreviewOptions& options() const { return m_options; }
    // Applies the options as the menu would, without signalling.
    void setOptions(const PreviewOptions& options);
    // The scale the pictures are painted at: the zoom, or what fitting to the screen gives.
    double scale() const;
    void setTexts(const PreviewTexts& texts);
    // Whether the menu offers "Reduce and compress..." (an image over the RL budget).
    void setReduceOffered(bool offered);
    // A line under the picture (what fitting the image did); empty hides it. drawImage empties it.
    void setReportLine(const QString& line);
    QString reportLine() const;

    // Shows the picture of mode `index` and hides the other two; any other index changes nothing.
    void OptAffichage_Click(int index);
    int displayMode() const { return m_mode; }

    // PictImgAlpha, PictImg and PictAlpha by display mode.
    PreviewPicture* picture(DisplayMode mode) const { return m_pictures[static_cast<std::size_t>(mode)]; }
    // The picture of a mode at scale 1, built first if it has not been yet; null when it cannot be built.
    const QImage& image(DisplayMode mode);
    // Left edge at the main window's right edge, top at its top.
    void placeBeside(const QWidget* mainWindow);

    QMenu* contextMenu() const { return m_menu; }
    QScrollArea* scrollArea() const { return m_scroll; }

signals:
    // The user changed the options through the menu or the wheel.
    void optionsChanged(const viewer::PreviewOptions& before, const viewer::PreviewOptions& now);
    void reduceRequested();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void syncMenu();
    void changeOptions(const PreviewOptions& options);
    void applyOptions(const PreviewOptions& options);
    void layoutPictures();
    void placeScrollArea();
    void invalidate();
    bool build(int mode);
    const imaging::ImageModel* source(PixelOrder& order) const;
    bool marking() const;

    QScrollArea* m_scroll = nullptr;
    QLabel* m_reportLine = nullptr;
    QWidget* m_canvas = nullptr;
    std::array<PreviewPicture*, DisplayModeCount> m_pictures{};
    std::array<bool, DisplayModeCount> m_built{};
    const imaging::ImageModel* m_model = nullptr;
    PixelOrder m_order = PixelOrder::BottomRowFirst;
    std::shared_ptr<const imaging::ImageModel> m_shown;
    std::vector<std::uint8_t> m_differences;
    bool m_shownUnavailable = false;
    QSize m_imageSize;
    int m_mode = 0;
    PreviewOptions m_options;

    QMenu* m_menu = nullptr;
    QMenu* m_zoomMenu = nullptr;
    QMenu* m_backgroundMenu = nullptr;
    std::array<QAction*, ZoomSteps.size() + 1> m_zoomActions{};  // the steps, then fit
    std::array<QAction*, BackgroundCount> m_backgroundActions{};
    QAction* m_asShownAction = nullptr;
    QAction* m_differencesAction = nullptr;
    QAction* m_reduceAction = nullptr;
};

}  // namespace viewer
