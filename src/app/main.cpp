// The command line. It links only the standard-C++ core and CLI11, so that a call from a script or build
// system costs what its work costs; with no command it becomes the window program.
#include "cli.h"
#include "window_launcher.h"

int main(int argc, char** argv) {
    if (cli::wantsCommandLine(argc, argv)) {
        return cli::run(argc, argv);
    }
    return app::startWindow(argc, argv);
}
