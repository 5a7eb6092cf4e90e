#include "frm_image.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

#include "program_icon.h"

namespace viewer {

PreviewPicture::PreviewPicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewPicture::setImage(QImage image) {
    m_image = std::move(image);
    update();
}

void PreviewPicture::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // Only the exposed part is converted and drawn: the alpha picture is kept at one byte per pixel.
    const QRect area = event->rect() & m_image.rect();
    if (!area.isEmpty()) {
        painter.drawImage(area.topLeft(), m_image, area);
    }
}

void FitWindowToClient(QWidget* window, int clientWidth, int clientHeight) {
    // Qt sizes a top-level window by its client area; the window manager adds the frame around it.
    window->resize(std::max(clientWidth, FrmImage::MinimumClientWidth), std::max(clientHeight, 1));
}

FrmImage::FrmImage(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FrmImage"));
    setWindowIcon(programIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    // Closing the preview never ends the program, whatever other windows are shown.
    setAttribute(Qt::WA_QuitOnClose, false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(WindowColor));
    setPalette(pal);
    setAutoFillBackground(true);
    const std::array<const char*, DisplayModeCount> names{"PictImgAlpha", "PictImg", "PictAlpha"};
    for (int i = 0; i < DisplayModeCount; ++i) {
        auto* picture = new PreviewPicture(this);
        picture->setObjectName(QString::fromLatin1(names[static_cast<std::size_t>(i)]));
        m_pictures[static_cast<std::size_t>(i)] = picture;
    }
    OptAffichage_Click(0);
}

bool FrmImage::drawImage(const imaging::ImageModel& model, PixelOrder order, PreviewCounts& counts) {
    counts = {};
    if (model.Width <= 0 || model.Height <= 0) {
        return false;
    }
    QImage picture(model.Width, model.Height, QImage::Format_RGB32);
    if (picture.isNull() ||
        !renderWithTransparency(model, order, reinterpret_cast<std::uint32_t*>(picture.bits()),
                                static_cast<std::size_t>(picture.bytesPerLine()) / sizeof(std::uint32_t),
                                counts)) {
        return false;
    }
    m_model = &model;
    m_order = order;
    m_built = {true, false, false};
    m_pictures[0]->setImage(std::move(picture));
    m_pictures[1]->setImage({});
    m_pictures[2]->setImage({});
    m_imageSize = QSize(model.Width, model.Height);
    FitWindowToClient(this, model.Width, model.Height);
    centrePictures();
    if (m_mode != 0) {
        build(m_mode);
    }
    return true;
}

bool FrmImage::build(int mode) {
    if (m_built[static_cast<std::size_t>(mode)]) {
        return true;
    }
    if (m_model == nullptr) {
        return false;
    }
    QImage picture;
    if (mode == static_cast<int>(DisplayMode::WithoutTransparency)) {
        picture = QImage(m_imageSize, QImage::Format_RGB32);
        if (picture.isNull() ||
            !renderWithoutTransparency(
                *m_model, m_order, reinterpret_cast<std::uint32_t*>(picture.bits()),
                static_cast<std::size_t>(picture.bytesPerLine()) / sizeof(std::uint32_t))) {
            return false;
        }
    } else {
        // One byte per pixel: the alpha picture has two colours only.
        picture = QImage(m_imageSize, QImage::Format_Indexed8);
        if (picture.isNull()) {
            return false;
        }
        picture.setColorTable({toRgb32(PreviewBackColor), qRgb(0, 0, 0)});
        if (!renderAlphaChannel(*m_model, m_order, picture.bits(),
                                static_cast<std::size_t>(picture.bytesPerLine()))) {
            return false;
        }
    }
    m_pictures[static_cast<std::size_t>(mode)]->setImage(std::move(picture));
    m_built[static_cast<std::size_t>(mode)] = true;
    return true;
}

const QImage& FrmImage::image(DisplayMode mode) {
    build(static_cast<int>(mode));
    return m_pictures[static_cast<std::size_t>(mode)]->image();
}

void FrmImage::OptAffichage_Click(int index) {
    if (index < 0 || index >= DisplayModeCount) {
        return;
    }
    m_mode = index;
    if (m_model != nullptr) {
        build(index);
    }
    for (int i = 0; i < DisplayModeCount; ++i) {
        m_pictures[static_cast<std::size_t>(i)]->setVisible(i == index);
    }
}

void FrmImage::placeBeside(const QWidget* mainWindow) {
    const QRect frame = mainWindow->frameGeometry();
    move(frame.left() + frame.width(), frame.top());
}

void FrmImage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    centrePictures();
}

void FrmImage::centrePictures() {
    // Centred across when the window is wider than the image; the top edge stays at 0.
    const QRect area((width() - m_imageSize.width()) / 2, 0, m_imageSize.width(), m_imageSize.height());
    for (PreviewPicture* picture : m_pictures) {
        picture->setGeometry(area);
    }
}

}  // namespace viewer
