#include "cli.h"

#include <cstring>
#include <string_view>

#include "commands.h"
#include "version.h"

namespace cli {

namespace {
constexpr std::string_view Subcommands[] = {"info", "compress", "decompress", "batch"};
}

bool wantsCommandLine(int argc, char** argv) {
    if (argc < 2) {
        return false;
    }
    std::string_view first = argv[1];
    if (first.starts_with("-")) {
        return true;
    }
    for (auto name : Subcommands) {
        if (first == name) {
            return true;
        }
    }
    return false;
}

int run(int argc, char** argv) {
    CLI::App app{"TarvikBMP - converts 24/32-bit Windows bitmaps to the RL format and back", "tarvikbmp"};
    app.set_version_flag("--version", std::string("tarvikbmp ") + TARVIK_VERSION);
    app.require_subcommand(1);
    int exitCode = 0;
    addImageCommands(app, exitCode);
    addBatchCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int rc = app.exit(e);
        return rc == 0 ? 0 : 2;
    }
    return exitCode;
}

}  // namespace cli
