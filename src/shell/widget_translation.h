#pragma once

#include <QWidget>

#include "language.h"
#include "translation.h"

namespace shell {

// Translates a window's widgets with the language module's key rules. The window's objectName is the window
// name; each widget with an objectName (and, for an element of a control array, the dynamic property "index")
// is a control. Line edits are text boxes and take their text; every other widget gets its caption (label
// text, button text, frame title) and tooltip. Widgets in other windows and Qt's internal parts ("qt_" names)
// are left alone. Returns false when no language text could be loaded, in which case nothing changed.
bool TranslateForm(QWidget* window, settings::Language& language);

}  // namespace shell
