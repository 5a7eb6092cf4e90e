#pragma once

// Colour values as the program stores them: 0x00BBGGRR, red in the low byte. A value with the high
// bit set names a system colour by the index in its low byte (0x80000012 is button text); those
// follow the widget palette so that they track the desktop theme.

#include <QColor>
#include <QPalette>

#include <cstdint>
#include <optional>

namespace controls {

constexpr std::uint32_t SystemColorFlag = 0x80000000u;

// The system colour indices the controls use by name.
enum class SystemColor : std::uint32_t {
    WindowFrame = 6,
    ButtonFace = 15,
    ButtonShadow = 16,
    ButtonText = 18,
    ButtonHighlight = 20,
    DarkShadow3D = 21,
    Light3D = 22,
};

constexpr std::uint32_t systemColorValue(SystemColor color) {
    return SystemColorFlag | static_cast<std::uint32_t>(color);
}

// Empty when the value names no colour (an unknown system index, or stray bits in the top byte).
std::optional<QColor> translateColor(std::uint32_t value, const QPalette& palette);

// For painting: a value that names no colour paints black, which is what a failed translation leaves.
// Without a palette, the application's.
QColor colorForPainting(std::uint32_t value, const QPalette& palette);
QColor colorForPainting(std::uint32_t value);

bool isValidColorValue(std::uint32_t value);

}  // namespace controls
