#pragma once

// The key rules of translating a window, without any window toolkit: the window describes its
// controls, and gets back which property of which control (or item) receives which text.
//
// Keys: the window's title is the window name alone; a control's key is window name + "_" + control
// name, + "_" + index for an element of a control array; an item inside a control (toolbar button, tab,
// list-view column, status-bar panel) adds "_" + the item's index.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "language.h"

namespace settings {

enum class ControlKind {
    Menu,       // menu entry: caption only
    Toolbar,    // items are buttons: caption + tooltip each
    TabStrip,   // items are tabs: caption + tooltip each
    ListView,   // items are column headers: text only
    StatusBar,  // items are panels: text only
    TextBox,    // its content + tooltip
    Other,      // labels, buttons, frames, check boxes, pictures...: caption + tooltip
};

struct ControlInfo {
    std::string name;
    std::optional<int> index = std::nullopt;  // set for an element of a control array
    ControlKind kind = ControlKind::Other;
    int itemCount = 0;       // buttons, tabs, columns or panels
    int firstItemIndex = 1;  // language file keys number a control's items from 1
};

enum class TextProperty {
    Caption,  // a caption, label text, button text, frame title, tab or toolbar-button text
    Text,     // a text box's content, a column header's or a status panel's text
};

struct TextAssignment {
    std::optional<int> item;  // none: the control itself
    std::string key;
    TextProperty property = TextProperty::Caption;
    std::optional<std::string> text;     // set only when the language file gives a non-empty main text
    std::optional<std::string> toolTip;  // set whenever the kind has a tooltip; "" clears the tooltip
};

struct FormTranslation {
    // False when no language text could be loaded: the window keeps every built-in text.
    bool applied = false;
    // The window's new title, set even when empty; none when translating without a window name.
    std::optional<std::string> title;
    // One list per control given, in the same order.
    std::vector<std::vector<TextAssignment>> controls;
};

// Window name + "_" + control name [+ "_" + index]; without a window name, no prefix at all.
std::string controlKey(std::string_view windowName, const ControlInfo& control);

// The assignments for one control, looking its keys up in `language`.
std::vector<TextAssignment> translateControl(Language& language, std::string_view windowName,
                                             const ControlInfo& control);

// Translates a window named `windowName` ("" for none) with the given controls, in their order.
FormTranslation TranslateForm(Language& language, std::string_view windowName,
                              std::span<const ControlInfo> controls);

}  // namespace settings
