#include "color_value.h"

#include <QGuiApplication>

#include <array>

namespace controls {

namespace {

struct PaletteSlot {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    bool defined;
};

// Indexed by system colour number: the palette role that plays the same part in the desktop theme. Text
// colours and the backgrounds they are drawn on come from matching roles (caption text 9 on caption 2,
// inactive caption text 19 on inactive caption 3, button text 18 on button face 15), so a pair keeps its
// contrast whatever the theme. Borders (10, 11) take the button face they are drawn beside; the desktop and
// the application workspace (1, 12) the dark backdrop shade. 25 is unused by the numbering.
constexpr std::array<PaletteSlot, 31> SystemSlots{{
    {QPalette::Active, QPalette::Button, true},             // 0 scroll bar
    {QPalette::Active, QPalette::Dark, true},               // 1 desktop
    {QPalette::Active, QPalette::Highlight, true},          // 2 active caption
    {QPalette::Inactive, QPalette::Highlight, true},        // 3 inactive caption
    {QPalette::Active, QPalette::Window, true},             // 4 menu
    {QPalette::Active, QPalette::Base, true},               // 5 window
    {QPalette::Active, QPalette::Shadow, true},             // 6 window frame
    {QPalette::Active, QPalette::WindowText, true},         // 7 menu text
    {QPalette::Active, QPalette::Text, true},               // 8 window text
    {QPalette::Active, QPalette::HighlightedText, true},    // 9 caption text
    {QPalette::Active, QPalette::Button, true},             // 10 active border
    {QPalette::Inactive, QPalette::Button, true},           // 11 inactive border
    {QPalette::Active, QPalette::Dark, true},               // 12 application workspace
    {QPalette::Active, QPalette::Highlight, true},          // 13 highlight
    {QPalette::Active, QPalette::HighlightedText, true},    // 14 highlighted text
    {QPalette::Active, QPalette::Button, true},             // 15 button face
    {QPalette::Active, QPalette::Dark, true},               // 16 button shadow
    {QPalette::Disabled, QPalette::Text, true},             // 17 grey text
    {QPalette::Active, QPalette::ButtonText, true},         // 18 button text
    {QPalette::Inactive, QPalette::HighlightedText, true},  // 19 inactive caption text
    {QPalette::Active, QPalette::Light, true},              // 20 button highlight
    {QPalette::Active, QPalette::Shadow, true},             // 21 3-D dark shadow
    {QPalette::Active, QPalette::Midlight, true},           // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText, true},        // 23 tooltip text
    {QPalette::Active, QPalette::ToolTipBase, true},        // 24 tooltip background
    {QPalette::Active, QPalette::NoRole, false},            // 25
    {QPalette::Active, QPalette::Link, true},               // 26 hot-tracked item
    {QPalette::Active, QPalette::Highlight, true},          // 27 active caption gradient
    {QPalette::Inactive, QPalette::Highlight, true},        // 28 inactive caption gradient
    {QPalette::Active, QPalette::Highlight, true},          // 29 menu highlight
    {QPalette::Active, QPalette::Window, true},             // 30 menu bar
}};

const PaletteSlot* systemSlot(std::uint32_t value) {
    const std::uint32_t index = value & ~SystemColorFlag;
    if (index >= SystemSlots.size() || !SystemSlots[index].defined) {
        return nullptr;
    }
    return &SystemSlots[index];
}

}  // namespace

std::optional<QColor> translateColor(std::uint32_t value, const QPalette& palette) {
    if ((value & SystemColorFlag) != 0) {
        const PaletteSlot* slot = systemSlot(value);
        if (slot == nullptr) {
            return std::nullopt;
        }
        return palette.color(slot->group, slot->role);
    }
    if ((value & 0xFF000000u) != 0) {
        return std::nullopt;
    }
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

QColor colorForPainting(std::uint32_t value, const QPalette& palette) {
    return translateColor(value, palette).value_or(QColor(Qt::black));
}

QColor colorForPainting(std::uint32_t value) {
    return colorForPainting(value, QGuiApplication::palette());
}

bool isValidColorValue(std::uint32_t value) {
    if ((value & SystemColorFlag) != 0) {
        return systemSlot(value) != nullptr;
    }
    return (value & 0xFF000000u) == 0;
}

}  // namespace controls
