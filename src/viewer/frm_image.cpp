#include "frm_image.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

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
    QImage withTransparency(model.Width, model.Height, QImage::Format_RGB32);
    QImage withoutTransparency(model.Width, model.Height, QImage::Format_RGB32);
    QImage alphaChannel(model.Width, model.Height, QImage::Format_Indexed8);
    if (withTransparency.isNull() || withoutTransparency.isNull() || alphaChannel.isNull()) {
        return false;
    }
    alphaChannel.setColorTable({toRgb32(PreviewBackColor), qRgb(0, 0, 0)});
    PreviewPlanes planes;
    planes.withTransparency = reinterpret_cast<std::uint32_t*>(withTransparency.bits());
    planes.withoutTransparency = reinterpret_cast<std::uint32_t*>(withoutTransparency.bits());
    planes.wordsPerLine = static_cast<std::size_t>(withTransparency.bytesPerLine()) / sizeof(std::uint32_t);
    planes.alphaChannel = alphaChannel.bits();
    planes.alphaBytesPerLine = static_cast<std::size_t>(alphaChannel.bytesPerLine());
    if (!renderPreview(model, order, planes, counts)) {
        return false;
    }
    m_pictures[0]->setImage(std::move(withTransparency));
    m_pictures[1]->setImage(std::move(withoutTransparency));
    m_pictures[2]->setImage(std::move(alphaChannel));
    m_imageSize = QSize(model.Width, model.Height);
    FitWindowToClient(this, model.Width, model.Height);
    centrePictures();
    return true;
}

void FrmImage::OptAffichage_Click(int index) {
    if (index < 0 || index >= DisplayModeCount) {
        return;
    }
    m_mode = index;
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
