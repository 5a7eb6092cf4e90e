// The window program. `tarvikbmp` starts it when given no command, with the file paths it was given;
// a second start hands its paths to the window already running.
#include "gui_main.h"
#include "page_commands.h"

int main(int argc, char** argv) {
    return shell::runGui(argc, argv, shell::attachPageCommands);
}
