#pragma once

#include <CLI/CLI.hpp>

namespace cli {

// Each registers its subcommands on the app; a subcommand's callback stores its exit code in exitCode.
void addImageCommands(CLI::App& app, int& exitCode);  // info, compress, decompress
void addBatchCommand(CLI::App& app, int& exitCode);   // batch compress|decompress

}  // namespace cli
