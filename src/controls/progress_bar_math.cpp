#include "progress_bar_math.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace controls {

namespace {

constexpr double Int16Min = std::numeric_limits<std::int16_t>::min();
constexpr double Int16Max = std::numeric_limits<std::int16_t>::max();

bool fitsInt16(double v) {
    return v >= Int16Min && v <= Int16Max;
}

// Orders the two ends the way a drawn box does, so a bar running backwards (a value below the
// minimum after a contradictory load) still covers the pixels between its ends.
std::optional<QRect> spanRect(double x1, double y1, double x2, double y2) {
    const double xs[] = {roundHalfEven(x1), roundHalfEven(x2)};
    const double ys[] = {roundHalfEven(y1), roundHalfEven(y2)};
    for (double v : {xs[0], xs[1], ys[0], ys[1]}) {
        if (!fitsInt16(v)) {
            return std::nullopt;
        }
    }
    const int left = static_cast<int>(std::min(xs[0], xs[1]));
    const int right = static_cast<int>(std::max(xs[0], xs[1]));
    const int top = static_cast<int>(std::min(ys[0], ys[1]));
    const int bottom = static_cast<int>(std::max(ys[0], ys[1]));
    return QRect(left, top, right - left, bottom - top);
}

// num / den rounded half to even, exactly; den must not be 0.
std::int64_t divideHalfEven(std::int64_t num, std::int64_t den) {
    if (den < 0) {
        num = -num;
        den = -den;
    }
    std::int64_t quotient = num / den;
    const std::int64_t remainder = std::llabs(num % den);
    const std::int64_t sign = num < 0 ? -1 : 1;
    if (2 * remainder > den || (2 * remainder == den && quotient % 2 != 0)) {
        quotient += sign;
    }
    return quotient;
}

// fraction num / den as a percentage with the given number of decimals, judged on the exact
// fraction so that 1/8 is a true half (12.5 %) rather than whatever the binary form makes of it.
QString percentText(std::int64_t num, std::int64_t den, int decimals, const QString& decimalPoint) {
    std::int64_t scale = 1;
    for (int i = 0; i < decimals; ++i) {
        scale *= 10;
    }
    const std::int64_t scaled = divideHalfEven(num * 100 * scale, den);
    const std::int64_t magnitude = std::llabs(scaled);
    QString text = scaled < 0 ? QStringLiteral("-") : QString();
    text += QString::number(magnitude / scale);
    if (decimals > 0) {
        text += decimalPoint;
        text += QStringLiteral("%1").arg(magnitude % scale, decimals, 10, QLatin1Char('0'));
    }
    text += QLatin1Char('%');
    return text;
}

}  // namespace

double roundHalfEven(double x) {
    const double nearest = std::round(x);  // halves away from zero
    if (std::fabs(x - std::trunc(x)) == 0.5) {
        return 2.0 * std::round(x / 2.0);
    }
    return nearest;
}

std::optional<QRect> barRect(int orientation, double p, int width, int height) {
    if (!std::isfinite(p)) {
        return std::nullopt;
    }
    const double w = width;
    const double h = height;
    const double barWidth = p * w;
    const double barHeight = p * h;
    switch (orientation) {
        case 0:
            return spanRect(0, 0, barWidth, h);
        case 1:
            return spanRect(w - barWidth, 0, w, h);
        case 2: {
            const double left = (w - barWidth) / 2;
            return spanRect(left, 0, left + barWidth, h);
        }
        case 3:
            return spanRect(0, h - barHeight, w, h);
        case 4:
            return spanRect(0, 0, w, barHeight);
        case 5: {
            const double top = (h - barHeight) / 2;
            return spanRect(0, top, w, top + barHeight);
        }
        default:
            return std::nullopt;
    }
}

std::int32_t valueFromPoint(int orientation, double x, double y, int width, int height, std::int32_t min,
                            std::int32_t max) {
    const double span = static_cast<double>(static_cast<std::int64_t>(max) - min);
    const double w = width;
    const double h = height;
    double v = 0;
    switch (orientation) {
        case 0:
            v = w > 0 ? min + x / w * span : 0;
            break;
        case 1:
            v = w > 0 ? max - x / w * span : 0;
            break;
        case 2:
            v = w > 0 ? min + std::fabs(w - 2 * x) * span / w : 0;
            break;
        case 3:
            v = h > 0 ? min + (h - y) / h * span : 0;
            break;
        case 4:
            v = h > 0 ? max - (h - y) / h * span : 0;
            break;
        case 5:
            v = h > 0 ? min + std::fabs(h - 2 * y) * span / h : 0;
            break;
        default:
            break;
    }
    v = std::isfinite(v) ? roundHalfEven(v) : 0;
    // Low bound first, then high: a contradictory saved form (min above max) still gives a value.
    if (v < min) {
        return min;
    }
    if (v > max) {
        return max;
    }
    return static_cast<std::int32_t>(v);
}

QString captionText(int format, std::int32_t value, std::int32_t min, std::int64_t span,
                    const QString& caption, const QString& decimalPoint) {
    switch (format) {
        case 1:
            return QString::number(value);
        case 2:
        case 3:
        case 4:
            if (span == 0) {
                return {};
            }
            return percentText(value, span, format - 2, decimalPoint);
        case 5:
        case 6:
        case 7:
            if (span == 0) {
                return {};
            }
            return percentText(static_cast<std::int64_t>(value) - min, span, format - 5, decimalPoint);
        case 99:
            return caption;
        default:
            return {};
    }
}

int centredStart(double surfaceExtent, double textExtent) {
    const double free = roundHalfEven(surfaceExtent - textExtent);
    if (!(free >= std::numeric_limits<int>::min() && free <= std::numeric_limits<int>::max())) {
        return 0;
    }
    return static_cast<int>(free) / 2;
}

}  // namespace controls
