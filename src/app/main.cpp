#include "cli.h"

#ifdef TARVIK_WITH_GUI
#include "gui_main.h"
#endif

#include <cstdio>

int main(int argc, char** argv) {
    if (cli::wantsCommandLine(argc, argv)) {
        return cli::run(argc, argv);
    }
#ifdef TARVIK_WITH_GUI
    return shell::runGui(argc, argv);
#else
    std::fprintf(stderr, "tarvikbmp: built without the window; see tarvikbmp --help\n");
    return 1;
#endif
}
