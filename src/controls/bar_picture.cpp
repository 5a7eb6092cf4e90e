#include "bar_picture.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace controls {

QPixmap makeProgressBarPicture(bool back) {
    QImage image(BarPictureWidth, BarPictureHeight, QImage::Format_ARGB32_Premultiplied);
    // Outside the rounded shape stays transparent so the control's back colour shows at the corners.
    image.fill(Qt::transparent);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape(0.5, 0.5, BarPictureWidth - 1.0, BarPictureHeight - 1.0);
    constexpr qreal CornerRadius = 6.0;

    QLinearGradient body(0, 0, 0, BarPictureHeight);
    if (back) {
        body.setColorAt(0.0, QColor(52, 78, 140));
        body.setColorAt(0.45, QColor(24, 46, 110));
        body.setColorAt(1.0, QColor(14, 30, 78));
    } else {
        body.setColorAt(0.0, QColor(150, 205, 255));
        body.setColorAt(0.45, QColor(40, 130, 255));
        body.setColorAt(1.0, QColor(16, 88, 224));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawRoundedRect(shape, CornerRadius, CornerRadius);

    // A soft sheen on the upper half gives both pictures the same rounded look.
    QPainterPath sheen;
    sheen.addRoundedRect(shape.adjusted(2, 2, -2, -shape.height() / 2), CornerRadius - 2, CornerRadius - 2);
    painter.setBrush(QColor(255, 255, 255, back ? 28 : 60));
    painter.drawPath(sheen);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(8, 16, 40), 1.0));
    painter.drawRoundedRect(shape, CornerRadius, CornerRadius);
    painter.end();

    return QPixmap::fromImage(image);
}

}  // namespace controls
