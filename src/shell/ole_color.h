#pragma once

#include <QColor>
#include <QPalette>
#include <QRect>

#include <cstdint>

namespace shell {

// Colour values as the window design stores them: &H00BBGGRR, red in the low byte. A value with the high bit
// set names a system colour by its index in the low byte; those are looked up in the palette, so the painted
// strips follow the desktop theme the way they followed the system colours.
QColor translateOleColor(std::uint32_t value, const QPalette& palette);
QColor translateOleColor(std::uint32_t value);

// The design is laid out in twips; 15 twips make one pixel at 96 dpi, and Qt scales pixels for denser
// screens.
constexpr int TwipsPerPixel = 15;
int twipsToPixels(int twips);
QRect twipsRect(int left, int top, int width, int height);

}  // namespace shell
