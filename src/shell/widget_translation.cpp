#include "widget_translation.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <optional>
#include <vector>

namespace shell {
namespace {

// Language files break lines with CR LF; Qt widgets break them with LF alone.
QString widgetText(const std::string& text) {
    QString result = QString::fromStdString(text);
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result;
}

bool isControlName(const QString& name) {
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

std::optional<int> arrayIndex(const QObject* object) {
    const QVariant value = object->property("index");
    bool ok = false;
    const int index = value.toInt(&ok);
    if (!value.isValid() || !ok) {
        return std::nullopt;
    }
    return index;
}

settings::ControlInfo describe(const QWidget* widget) {
    settings::ControlInfo info;
    info.name = widget->objectName().toStdString();
    info.index = arrayIndex(widget);
    info.kind = qobject_cast<const QLineEdit*>(widget) != nullptr ? settings::ControlKind::TextBox
                                                                   : settings::ControlKind::Other;
    return info;
}

void setCaption(QWidget* widget, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    }
    // Other widgets (pictures, lists, progress bars) have no caption; that one assignment is skipped.
}

void apply(QWidget* widget, const settings::TextAssignment& assignment) {
    if (assignment.text) {
        const QString text = widgetText(*assignment.text);
        if (assignment.property == settings::TextProperty::Text) {
            if (auto* line = qobject_cast<QLineEdit*>(widget)) {
                line->setText(text);
            }
        } else {
            setCaption(widget, text);
        }
    }
    widget->setToolTip(widgetText(assignment.toolTip));
}

struct WidgetControl {
    QWidget* widget = nullptr;
    settings::ControlInfo info;
};

std::vector<WidgetControl> describeControls(QWidget* window) {
    std::vector<WidgetControl> controls;
    if (window == nullptr) {
        return controls;
    }
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        // Widgets of another window (a dialog owned by this one) are that window's to translate.
        if (isControlName(widget->objectName()) && !widget->isWindow() && widget->window() == window) {
            controls.push_back({widget, describe(widget)});
        }
    }
    return controls;
}

}  // namespace

bool TranslateForm(QWidget* window, settings::Language& language) {
    const std::vector<WidgetControl> controls = describeControls(window);
    std::vector<settings::ControlInfo> infos;
    infos.reserve(controls.size());
    for (const WidgetControl& control : controls) {
        infos.push_back(control.info);
    }
    const std::string windowName = window != nullptr ? window->objectName().toStdString() : std::string();
    const settings::FormTranslation translation = settings::TranslateForm(language, windowName, infos);
    if (!translation.applied) {
        return false;
    }
    if (window != nullptr && translation.title) {
        window->setWindowTitle(widgetText(*translation.title));
    }
    for (std::size_t i = 0; i < controls.size() && i < translation.controls.size(); ++i) {
        apply(controls[i].widget, translation.controls[i]);
    }
    return true;
}

}  // namespace shell
