#include "widget_translation.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeView>

#include <optional>

namespace shell {
namespace {

using settings::ControlKind;

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

QHeaderView* columnHeader(QWidget* widget) {
    if (auto* tree = qobject_cast<QTreeView*>(widget)) {
        return tree->header();
    }
    if (auto* table = qobject_cast<QTableView*>(widget)) {
        return table->horizontalHeader();
    }
    return nullptr;
}

// Menus are pop-up windows of their own in Qt, yet they belong to the window whose menu bar or widget owns
// them.
bool belongsTo(const QWidget* widget, const QWidget* window) {
    if (qobject_cast<const QMenu*>(widget) != nullptr) {
        const QWidget* owner = widget->parentWidget();
        return owner == window || (owner != nullptr && belongsTo(owner, window));
    }
    return !widget->isWindow() && widget->window() == window;
}

QList<QAction*> itemActions(QWidget* widget) {
    QList<QAction*> actions;
    for (QAction* action : widget->actions()) {
        if (!action->isSeparator()) {
            actions.append(action);
        }
    }
    return actions;
}

settings::ControlInfo describe(QObject* object) {
    settings::ControlInfo info;
    info.name = object->objectName().toStdString();
    info.index = arrayIndex(object);
    info.kind = ControlKind::Other;
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) {
        info.kind = ControlKind::Menu;  // a named action is a menu entry
    } else if (qobject_cast<QMenu*>(widget) != nullptr) {
        info.kind = ControlKind::Menu;
    } else if (auto* toolBar = qobject_cast<QToolBar*>(widget)) {
        info.kind = ControlKind::Toolbar;
        info.itemCount = static_cast<int>(itemActions(toolBar).size());
    } else if (auto* tabBar = qobject_cast<QTabBar*>(widget)) {
        info.kind = ControlKind::TabStrip;
        info.itemCount = tabBar->count();
    } else if (auto* tabWidget = qobject_cast<QTabWidget*>(widget)) {
        info.kind = ControlKind::TabStrip;
        info.itemCount = tabWidget->count();
    } else if (QHeaderView* header = columnHeader(widget)) {
        info.kind = ControlKind::ListView;
        info.itemCount = header->count();
    } else if (auto* statusBar = qobject_cast<QStatusBar*>(widget)) {
        info.kind = ControlKind::StatusBar;
        info.itemCount =
            static_cast<int>(statusBar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly).size());
    } else if (qobject_cast<QLineEdit*>(widget) != nullptr || qobject_cast<QTextEdit*>(widget) != nullptr ||
               qobject_cast<QPlainTextEdit*>(widget) != nullptr) {
        info.kind = ControlKind::TextBox;
    }
    return info;
}

void setCaption(QObject* object, const QString& text) {
    if (auto* action = qobject_cast<QAction*>(object)) {
        action->setText(text);
    } else if (auto* menu = qobject_cast<QMenu*>(object)) {
        menu->setTitle(text);
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(object)) {
        group->setTitle(text);
    }
    // Other widgets (pictures, lists, progress bars) have no caption; that one assignment is skipped.
}

void setBoxText(QObject* object, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(object)) {
        line->setText(text);
    } else if (auto* edit = qobject_cast<QTextEdit*>(object)) {
        edit->setPlainText(text);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(object)) {
        plain->setPlainText(text);
    }
}

void setToolTip(QObject* object, const QString& tip) {
    if (auto* widget = qobject_cast<QWidget*>(object)) {
        widget->setToolTip(tip);
    } else if (auto* action = qobject_cast<QAction*>(object)) {
        action->setToolTip(tip);
    }
}

// Items are numbered from ControlInfo::firstItemIndex, as the language files number them.
void applyToItem(QObject* object, int item, const settings::TextAssignment& assignment) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) {
        return;
    }
    const std::optional<QString> text =
        assignment.text ? std::optional<QString>(widgetText(*assignment.text)) : std::nullopt;
    const std::optional<QString> tip =
        assignment.toolTip ? std::optional<QString>(widgetText(*assignment.toolTip)) : std::nullopt;
    if (auto* toolBar = qobject_cast<QToolBar*>(widget)) {
        const QList<QAction*> actions = itemActions(toolBar);
        if (item < 0 || item >= actions.size()) {
            return;
        }
        if (text) {
            actions[item]->setText(*text);
        }
        if (tip) {
            actions[item]->setToolTip(*tip);
        }
    } else if (auto* tabBar = qobject_cast<QTabBar*>(widget)) {
        if (text) {
            tabBar->setTabText(item, *text);
        }
        if (tip) {
            tabBar->setTabToolTip(item, *tip);
        }
    } else if (auto* tabWidget = qobject_cast<QTabWidget*>(widget)) {
        if (text) {
            tabWidget->setTabText(item, *text);
        }
        if (tip) {
            tabWidget->setTabToolTip(item, *tip);
        }
    } else if (QHeaderView* header = columnHeader(widget)) {
        if (text && header->model() != nullptr) {
            header->model()->setHeaderData(item, Qt::Horizontal, *text);
        }
    } else if (auto* statusBar = qobject_cast<QStatusBar*>(widget)) {
        const QList<QLabel*> panels = statusBar->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        if (text && item >= 0 && item < panels.size()) {
            panels[item]->setText(*text);
        }
    }
}

void apply(QObject* object, const settings::ControlInfo& info, const settings::TextAssignment& assignment) {
    if (assignment.item) {
        applyToItem(object, *assignment.item - info.firstItemIndex, assignment);
        return;
    }
    if (assignment.text) {
        const QString text = widgetText(*assignment.text);
        if (assignment.property == settings::TextProperty::Text) {
            setBoxText(object, text);
        } else {
            setCaption(object, text);
        }
    }
    if (assignment.toolTip) {
        setToolTip(object, widgetText(*assignment.toolTip));
    }
}

}  // namespace

std::vector<WidgetControl> describeControls(QWidget* window) {
    std::vector<WidgetControl> controls;
    if (window == nullptr) {
        return controls;
    }
    for (QObject* object : window->findChildren<QObject*>()) {
        if (!isControlName(object->objectName())) {
            continue;
        }
        if (auto* widget = qobject_cast<QWidget*>(object)) {
            if (!belongsTo(widget, window)) {
                continue;
            }
        } else if (auto* action = qobject_cast<QAction*>(object)) {
            // Actions are controls only as menu entries; those of tool bars are the tool bar's items.
            auto* owner = qobject_cast<QWidget*>(action->parent());
            const bool menuEntry = owner == window || qobject_cast<QMenu*>(owner) != nullptr ||
                                   qobject_cast<QMenuBar*>(owner) != nullptr;
            if (owner == nullptr || !menuEntry || (owner != window && !belongsTo(owner, window))) {
                continue;
            }
        } else {
            continue;
        }
        controls.push_back({object, describe(object)});
    }
    return controls;
}

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
        for (const settings::TextAssignment& assignment : translation.controls[i]) {
            apply(controls[i].object, controls[i].info, assignment);
        }
    }
    return true;
}

}  // namespace shell
