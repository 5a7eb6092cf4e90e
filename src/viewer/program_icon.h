#pragma once

#include <QIcon>

namespace viewer {

// The program's icon (drawn by data/make_icon.py) at every size it is drawn in, built into the program so
// that every window shows it in any install layout.
QIcon programIcon();

}  // namespace viewer
