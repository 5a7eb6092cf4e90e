#include "ole_color.h"

#include <QGuiApplication>

#include <cmath>

namespace shell {
namespace {

// System colour indices mapped to the palette role that plays the same part.
bool systemColorRole(int index, QPalette::ColorGroup& group, QPalette::ColorRole& role) {
    group = QPalette::Active;
    switch (index) {
        case 0:   // scroll bar
        case 15:  // button face
            role = QPalette::Button;
            return true;
        case 1:   // desktop
        case 4:   // menu
        case 12:  // application workspace
            role = QPalette::Window;
            return true;
        case 2:   // active caption
        case 13:  // selected item
        case 27:  // gradient of the active caption
            role = QPalette::Highlight;
            return true;
        case 3:   // inactive caption
        case 28:  // gradient of the inactive caption
            group = QPalette::Inactive;
            role = QPalette::Highlight;
            return true;
        case 5:  // window
            role = QPalette::Base;
            return true;
        case 6:   // window frame
        case 21:  // dark 3D shadow
            role = QPalette::Shadow;
            return true;
        case 7:  // menu text
            role = QPalette::WindowText;
            return true;
        case 8:  // window text
            role = QPalette::Text;
            return true;
        case 9:   // caption text
        case 14:  // selected item text
            role = QPalette::HighlightedText;
            return true;
        case 10:  // active border
        case 11:  // inactive border
        case 16:  // button shadow
            role = QPalette::Dark;
            return true;
        case 17:  // grey text
            group = QPalette::Disabled;
            role = QPalette::Text;
            return true;
        case 18:  // button text
            role = QPalette::ButtonText;
            return true;
        case 19:  // inactive caption text
            group = QPalette::Inactive;
            role = QPalette::HighlightedText;
            return true;
        case 20:  // button highlight
            role = QPalette::Light;
            return true;
        case 22:  // 3D light
            role = QPalette::Midlight;
            return true;
        case 23:  // tooltip text
            role = QPalette::ToolTipText;
            return true;
        case 24:  // tooltip background
            role = QPalette::ToolTipBase;
            return true;
        case 26:  // hot-tracked item
            role = QPalette::Link;
            return true;
        default:
            return false;
    }
}

}  // namespace

QColor translateOleColor(std::uint32_t value, const QPalette& palette) {
    if ((value & 0x80000000u) != 0) {
        QPalette::ColorGroup group;
        QPalette::ColorRole role;
        if (systemColorRole(static_cast<int>(value & 0xFFu), group, role)) {
            return palette.color(group, role);
        }
        // An unknown system index has no colour; black is what a failed translation leaves behind.
        return QColor(0, 0, 0);
    }
    return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                  static_cast<int>((value >> 16) & 0xFFu));
}

QColor translateOleColor(std::uint32_t value) {
    return translateOleColor(value, QGuiApplication::palette());
}

int twipsToPixels(int twips) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / TwipsPerPixel));
}

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

}  // namespace shell
