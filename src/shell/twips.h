#pragma once

#include <QRect>

namespace shell {

// The design is laid out in twips; 15 twips make one pixel at 96 dpi, and Qt scales pixels for denser
// screens.
constexpr int TwipsPerPixel = 15;
int twipsToPixels(int twips);
QRect twipsRect(int left, int top, int width, int height);

}  // namespace shell
