#pragma once

// The arithmetic of the progress bar, kept apart from the widget so that it can be checked
// without painting: where the bar lies, which value a mouse point stands for, what the caption says.

#include <QRect>
#include <QString>

#include <cstdint>
#include <optional>

namespace controls {

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
double roundHalfEven(double x);

// The bar for a fraction p of the range on a surface width x height, in surface pixels.
// Empty for an unknown orientation, a non-finite p, or a corner outside 16-bit range: the
// drawing code has never handled larger surfaces, and a corrupt saved form must not draw garbage.
std::optional<QRect> barRect(int orientation, double p, int width, int height);

// The inverse of barRect: the value under (x, y), rounded and kept within min..max.
// An unknown orientation or an empty surface gives 0 brought into min..max.
std::int32_t valueFromPoint(int orientation, double x, double y, int width, int height, std::int32_t min,
                            std::int32_t max);

// The caption for one of the formats (1 value, 2-4 value / span, 5-7 (value - min) / span as a
// percentage with 0, 1 or 2 decimals, 99 the fixed caption). Empty for any other format, and for
// the percentage formats when span is 0 (a saved form that contradicts itself).
QString captionText(int format, std::int32_t value, std::int32_t min, std::int64_t span,
                    const QString& caption, const QString& decimalPoint);

// Where a caption extent starts so that it sits in the middle of a surface extent: the free room
// rounded, then halved toward zero.
int centredStart(double surfaceExtent, double textExtent);

}  // namespace controls
