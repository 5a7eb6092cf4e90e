#include "picture_box.h"

#include <QMouseEvent>
#include <QPainter>

namespace shell {

namespace {
constexpr int BorderWidth = 2;
}

PictureBox::PictureBox(QWidget* parent)
    : QWidget(parent),
      m_backColor(palette().color(QPalette::Button)),
      m_foreColor(palette().color(QPalette::ButtonText)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::setBackColor(const QColor& color) {
    m_backColor = color;
    update();
}

void PictureBox::setForeColor(const QColor& color) {
    m_foreColor = color;
    update();
}

void PictureBox::setPicture(const QPixmap& picture) {
    m_picture = picture;
    // A new picture starts a new persistent image, as loading a picture clears what was drawn.
    m_image = QPixmap();
    update();
}

void PictureBox::setBorder(bool on) {
    if (m_border == on) {
        return;
    }
    m_border = on;
    m_image = QPixmap();
    update();
}

QRect PictureBox::clientRect() const {
    const QRect all = rect();
    return m_border ? all.adjusted(BorderWidth, BorderWidth, -BorderWidth, -BorderWidth) : all;
}

void PictureBox::paintBase(QPainter& painter, const QRect& client) const {
    painter.fillRect(client, m_backColor);
    if (!m_picture.isNull()) {
        painter.drawPixmap(client.topLeft(), m_picture);
    }
}

QPixmap& PictureBox::persistentImage() {
    const QSize size = clientRect().size().expandedTo(QSize(1, 1));
    const qreal ratio = devicePixelRatioF();
    if (m_image.isNull() || m_image.deviceIndependentSize().toSize() != size) {
        QPixmap image(size * ratio);
        image.setDevicePixelRatio(ratio);
        QPainter painter(&image);
        paintBase(painter, QRect(QPoint(0, 0), size));
        painter.end();
        m_image = image;
    }
    return m_image;
}

void PictureBox::clearPersistentImage() {
    m_image = QPixmap();
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect client = clientRect();
    if (m_border) {
        // Sunken edge: grey and black on the top and left, white and light grey on the bottom and right.
        const QRect outer = rect().adjusted(0, 0, -1, -1);
        const QRect inner = outer.adjusted(1, 1, -1, -1);
        const QPalette& pal = palette();
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawLine(outer.topLeft(), outer.topRight());
        painter.drawLine(outer.topLeft(), outer.bottomLeft());
        painter.setPen(pal.color(QPalette::Light));
        painter.drawLine(outer.bottomLeft(), outer.bottomRight());
        painter.drawLine(outer.topRight(), outer.bottomRight());
        painter.setPen(pal.color(QPalette::Shadow));
        painter.drawLine(inner.topLeft(), inner.topRight());
        painter.drawLine(inner.topLeft(), inner.bottomLeft());
        painter.setPen(pal.color(QPalette::Midlight));
        painter.drawLine(inner.bottomLeft(), inner.bottomRight());
        painter.drawLine(inner.topRight(), inner.bottomRight());
    }
    if (!m_image.isNull()) {
        painter.fillRect(client, m_backColor);
        painter.drawPixmap(client.topLeft(), m_image);
    } else {
        paintBase(painter, client);
    }
}

void PictureBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_leftPressed = true;
    }
    emit mousePressed(event->button(), event->position().toPoint());
    event->accept();
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        event->button() == Qt::LeftButton && m_leftPressed && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        m_leftPressed = false;
    }
    emit mouseReleased(event->button(), event->position().toPoint());
    if (click) {
        emit clicked();
    }
    event->accept();
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The persistent image keeps its drawing while the box keeps its size; a new size starts it afresh.
    if (!m_image.isNull() && m_image.deviceIndependentSize().toSize() != clientRect().size()) {
        m_image = QPixmap();
    }
}

}  // namespace shell
