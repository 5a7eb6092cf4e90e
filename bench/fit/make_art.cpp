// Writes over-budget sprites and icons as PNG files, drawn the way art tools draw them: anti-aliased shapes
// with gradients, soft shadows, outlines and text, on a transparent ground. Fixed seed: the same files on
// every run.
//
//     fit_bench_art OUT_DIR [COUNT]

#include <QtGui/QFont>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QLinearGradient>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtGui/QRadialGradient>

#include <cstdio>
#include <random>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR [COUNT]\n", argv[0]);
        return 2;
    }
    QGuiApplication app(argc, argv);
    const int count = argc > 2 ? std::atoi(argv[2]) : 40;
    std::mt19937 random(20261207);
    auto uniform = [&random](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    auto colour = [&](int alpha = 255) {
        return QColor::fromHsvF(uniform(0, 1), uniform(0.4, 1), uniform(0.5, 1), alpha / 255.0);
    };
    const int sizes[] = {32, 48, 64, 96, 128, 160, 200, 256};
    for (int n = 0; n < count; ++n) {
        const int side = sizes[n % 8];
        QImage image(side, side, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const double s = side;
        // Soft shadow: stacked translucent ellipses.
        for (int ring = 8; ring > 0; --ring) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0, 0, 0, 10));
            const double grow = ring * s / 100;
            painter.drawEllipse(QRectF(s * 0.16 - grow, s * 0.22 - grow, s * 0.72 + 2 * grow, s * 0.72 + 2 * grow));
        }
        // Body: a rounded shape with a radial gradient and an outline.
        QRadialGradient body(QPointF(s * 0.4, s * 0.35), s * 0.6);
        body.setColorAt(0, colour().lighter(150));
        body.setColorAt(0.7, colour());
        body.setColorAt(1, colour().darker(160));
        QPainterPath path;
        if (n % 3 == 0) {
            path.addEllipse(QRectF(s * 0.12, s * 0.12, s * 0.72, s * 0.72));
        } else if (n % 3 == 1) {
            path.addRoundedRect(QRectF(s * 0.1, s * 0.14, s * 0.76, s * 0.68), s * 0.15, s * 0.15);
        } else {
            path.moveTo(s * 0.5, s * 0.08);
            path.cubicTo(s * 0.95, s * 0.3, s * 0.8, s * 0.85, s * 0.5, s * 0.9);
            path.cubicTo(s * 0.2, s * 0.85, s * 0.05, s * 0.3, s * 0.5, s * 0.08);
        }
        painter.setBrush(body);
        painter.setPen(QPen(colour().darker(200), std::max(1.0, s / 40)));
        painter.drawPath(path);
        // A glossy highlight, half transparent.
        QLinearGradient gloss(QPointF(0, s * 0.12), QPointF(0, s * 0.5));
        gloss.setColorAt(0, QColor(255, 255, 255, 170));
        gloss.setColorAt(1, QColor(255, 255, 255, 0));
        painter.setPen(Qt::NoPen);
        painter.setBrush(gloss);
        painter.drawEllipse(QRectF(s * 0.22, s * 0.14, s * 0.5, s * 0.3));
        // A letter or a number, anti-aliased.
        QFont font("DejaVu Sans");
        font.setPixelSize(std::max(8, side / 3));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(colour(230));
        painter.drawText(QRectF(0, s * 0.2, s, s * 0.6), Qt::AlignCenter, QString::number(n));
        painter.end();
        image.save(QString("%1/sprite%2.png").arg(argv[1]).arg(n, 3, 10, QChar('0')));
    }
    return 0;
}
