#include "translation.h"

namespace settings {

namespace {

struct KindRule {
    bool hasItems;
    TextProperty property;
    bool setsToolTip;  // the tooltip is then set always, from the second text
};

KindRule ruleFor(ControlKind kind) {
    switch (kind) {
        case ControlKind::Menu:
            return {false, TextProperty::Caption, false};
        case ControlKind::Toolbar:
            return {true, TextProperty::Caption, true};
        case ControlKind::TabStrip:
            return {true, TextProperty::Caption, true};
        case ControlKind::ListView:
            return {true, TextProperty::Text, false};
        case ControlKind::StatusBar:
            return {true, TextProperty::Text, false};
        case ControlKind::TextBox:
            return {false, TextProperty::Text, true};
        case ControlKind::Other:
            return {false, TextProperty::Caption, true};
    }
    return {false, TextProperty::Caption, true};
}

TextAssignment lookUp(Language& language, std::string key, std::optional<int> item, const KindRule& rule) {
    TextAssignment assignment;
    assignment.item = item;
    assignment.property = rule.property;
    std::string second;
    auto text = language.GetLangString(key, second, rule.setsToolTip);
    if (!text.empty()) {
        assignment.text = std::move(text);
    }
    if (rule.setsToolTip) {
        assignment.toolTip = std::move(second);
    }
    assignment.key = std::move(key);
    return assignment;
}

}  // namespace

std::string controlKey(std::string_view windowName, const ControlInfo& control) {
    std::string key;
    if (!windowName.empty()) {
        key.append(windowName).append("_");
    }
    key += control.name;
    if (control.index) {
        key.append("_").append(std::to_string(*control.index));
    }
    return key;
}

std::vector<TextAssignment> translateControl(Language& language, std::string_view windowName,
                                             const ControlInfo& control) {
    const auto rule = ruleFor(control.kind);
    const auto key = controlKey(windowName, control);
    std::vector<TextAssignment> assignments;
    if (!rule.hasItems) {
        assignments.push_back(lookUp(language, key, std::nullopt, rule));
        return assignments;
    }
    for (int i = 0; i < control.itemCount; ++i) {
        const int item = control.firstItemIndex + i;
        assignments.push_back(lookUp(language, key + "_" + std::to_string(item), item, rule));
    }
    return assignments;
}

FormTranslation TranslateForm(Language& language, std::string_view windowName,
                              std::span<const ControlInfo> controls) {
    FormTranslation result;
    if (language.languageText().empty() && !language.LoadLanguageFile()) {
        return result;
    }
    result.applied = true;
    if (!windowName.empty()) {
        result.title = language.GetLangString(windowName);
    }
    result.controls.reserve(controls.size());
    for (const auto& control : controls) {
        result.controls.push_back(translateControl(language, windowName, control));
    }
    return result;
}

}  // namespace settings
