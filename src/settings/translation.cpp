#include "translation.h"

namespace settings {

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

TextAssignment translateControl(Language& language, std::string_view windowName, const ControlInfo& control) {
    TextAssignment assignment;
    assignment.key = controlKey(windowName, control);
    assignment.property = control.kind == ControlKind::TextBox ? TextProperty::Text : TextProperty::Caption;
    auto text = language.GetLangString(assignment.key, assignment.toolTip, true);
    if (!text.empty()) {
        assignment.text = std::move(text);
    }
    return assignment;
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
