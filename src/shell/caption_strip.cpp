#include "caption_strip.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "color_value.h"
#include "twips.h"

namespace shell {
namespace {

// nearbyint follows the rounding mode, which is round-half-to-even in this program (nothing changes it).
int roundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value));
}

int clampChannel(int value) {
    return std::clamp(value, 0, 255);
}

// Windows' MulDiv: the product in 64 bits, the quotient rounded half away from zero.
int mulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    const long long product = static_cast<long long>(number) * numerator;
    const long long half = std::llabs(static_cast<long long>(denominator)) / 2;
    const bool negative = (product < 0) != (denominator < 0);
    const long long magnitude =
        (std::llabs(product) + half) / std::llabs(static_cast<long long>(denominator));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

// A face name lives in 32 bytes with its terminating NUL, so longer names lose their tail.
constexpr int FaceNameChars = 31;

}  // namespace

cLogo::cLogo() : m_startRgb(toRgb(m_startColor)), m_endRgb(toRgb(m_endColor)) {}

cLogo::Rgb cLogo::toRgb(std::uint32_t color) {
    const QColor c = controls::colorForPainting(color);
    return Rgb{c.red(), c.green(), c.blue()};
}

void cLogo::setStartColor(std::uint32_t color) {
    if (color == m_startColor) {
        return;
    }
    m_startColor = color;
    m_startRgb = toRgb(color);
    if (m_drawingObject) {
        Draw();
    }
}

void cLogo::setEndColor(std::uint32_t color) {
    if (color == m_endColor) {
        return;
    }
    m_endColor = color;
    m_endRgb = toRgb(color);
    if (m_drawingObject) {
        Draw();
    }
}

int cLogo::bandHeight(int stripHeight) {
    return std::max(1, stripHeight / 255);
}

cLogo::Rgb cLogo::bandColor(const Rgb& start, const Rgb& end, int stripHeight, int band) {
    if (band <= 0 || stripHeight <= 0) {
        return start;
    }
    // Band i is painted with the colour computed after band i-1, from its y = H - (i-1)·B.
    const double covered = static_cast<double>(band - 1) * bandHeight(stripHeight);
    auto channel = [&](int from, int to) {
        return clampChannel(roundHalfEven(from + covered * static_cast<double>(to - from) / stripHeight));
    };
    return Rgb{channel(start.red, end.red), channel(start.green, end.green), channel(start.blue, end.blue)};
}

cLogo::LogFont cLogo::FontToLogFont(const QFont& font, int pixelsPerInchY) {
    LogFont record;
    record.faceName = font.family().left(FaceNameChars);
    record.height = -mulDiv(roundHalfEven(font.pointSizeF()), pixelsPerInchY, 72);
    record.weight = font.bold() ? 700 : 400;
    record.italic = font.italic();
    record.underline = font.underline();
    record.strikeOut = font.strikeOut();
    return record;
}

void cLogo::Draw() {
    PictureBox* box = m_drawingObject;
    if (box == nullptr) {
        return;
    }
    const int height = box->height();
    const int width = box->width();
    // A strip without height has no colour step (the step divides by the height); nothing is painted.
    if (height <= 0 || width <= 0) {
        return;
    }
    QPixmap& image = box->persistentImage();
    QPainter painter(&image);
    const int band = bandHeight(height);
    // Bands run from the bottom up while y stays non-negative, so the last one may stick out above the top.
    int bottom = height;
    int index = 0;
    for (int y = height; y >= 0; y -= band, ++index) {
        const Rgb color = bandColor(m_startRgb, m_endRgb, height, index);
        const int top = bottom - band;
        painter.fillRect(QRect(0, top, width, band), QColor(color.red, color.green, color.blue));
        bottom = top;
    }

    if (!m_caption.isEmpty()) {
        const LogFont record = FontToLogFont(box->font(), box->logicalDpiY());
        QFont font(record.faceName);
        if (record.height < 0) {
            font.setPixelSize(-record.height);
        } else if (record.height > 0) {
            font.setPixelSize(record.height);
        }
        font.setWeight(record.weight >= 700 ? QFont::Bold : QFont::Normal);
        font.setItalic(record.italic);
        font.setUnderline(record.underline);
        font.setStrikeOut(record.strikeOut);
        font.setStyleHint(QFont::SansSerif);
        painter.setFont(font);
        painter.setPen(box->foreColor());
        // The text cell's top left corner sits at (XDecal, H - 8); turned a quarter left, the text rises from
        // there and its glyphs extend to the right of XDecal.
        painter.translate(m_xDecal, height - 8);
        painter.rotate(-90);
        painter.drawText(QPoint(0, QFontMetrics(font).ascent()), m_caption);
    }
    painter.end();
    box->refresh();
}

}  // namespace shell
