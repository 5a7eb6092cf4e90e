#include "cli.h"

#ifdef TARVIK_WITH_GUI
#include "gui_main.h"
#include "page_commands.h"
#endif

#include <cstdio>

int main(int argc, char** argv) {
    if (cli::wantsCommandLine(argc, argv)) {
        return cli::run(argc, argv);
    }
#ifdef TARVIK_WITH_GUI
    // Files named on the command line, or handed over by a later start, open in the image tab.
    return shell::runGui(argc, argv, shell::attachPageCommands);
#else
    std::fprintf(stderr, "tarvikbmp: built without the window; see tarvikbmp --help\n");
    return 1;
#endif
}
