#pragma once

// The key rules of translating a window, without any window toolkit: the window describes its
// controls, and gets back which property of each control receives which text.
//
// Keys: the window's title is the window name alone; a control's key is window name + "_" + control
// name, + "_" + index for an element of a control array. Entries a language file holds for anything else
// are simply never looked up, so files written with more entries still load.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "language.h"

namespace settings {

enum class ControlKind {
    TextBox,  // its content + tooltip
    Other,    // labels, buttons, frames, check boxes, pictures...: caption + tooltip
};

struct ControlInfo {
    std::string name;
    std::optional<int> index = std::nullopt;  // set for an element of a control array
    ControlKind kind = ControlKind::Other;
};

enum class TextProperty {
    Caption,  // a caption, label text, button text or frame title
    Text,     // a text box's content
};

struct TextAssignment {
    std::string key;
    TextProperty property = TextProperty::Caption;
    std::optional<std::string> text;  // set only when the language file gives a non-empty main text
    std::string toolTip;              // always set: "" clears the tooltip
};

struct FormTranslation {
    // False when no language text could be loaded: the window keeps every built-in text.
    bool applied = false;
    // The window's new title, set even when empty; none when translating without a window name.
    std::optional<std::string> title;
    // One per control given, in the same order.
    std::vector<TextAssignment> controls;
};

// Window name + "_" + control name [+ "_" + index]; without a window name, no prefix at all.
std::string controlKey(std::string_view windowName, const ControlInfo& control);

// The assignment for one control, looking its key up in `language`.
TextAssignment translateControl(Language& language, std::string_view windowName, const ControlInfo& control);

// Translates a window named `windowName` ("" for none) with the given controls, in their order.
FormTranslation TranslateForm(Language& language, std::string_view windowName,
                              std::span<const ControlInfo> controls);

}  // namespace settings
