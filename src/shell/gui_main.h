#pragma once

#include <functional>

namespace shell {

class MainForm;

// Called once the main window is built, before it shows and before any file path is handed to it: the place
// where other modules connect the pages' commands and MainForm::openFileRequested.
using MainFormHook = std::function<void(MainForm&)>;

// Runs the window. argv[1] onwards, when present, are file paths for the window to open; a later start of the
// program hands its paths to the window already running and exits with status 0. Without any display (no
// DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM) it prints one line pointing to --help and returns 1.
int runGui(int argc, char** argv, const MainFormHook& attach);
int runGui(int argc, char** argv);

// True when some display is named in the environment.
bool hasDisplay();

}  // namespace shell
