#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>

namespace cli {

// Each registers its subcommands on the app; a subcommand's callback stores its exit code in exitCode.
void addImageCommands(CLI::App& app, int& exitCode);  // info, compress, decompress
void addBatchCommand(CLI::App& app, int& exitCode);   // batch compress|decompress

// A file name or message as it may reach a terminal: control characters (C0, DEL and the C1 range written
// in UTF-8) come out as \xNN, so that a name cannot move the cursor, retitle the window or hide a line.
std::string shown(std::string_view text);

}  // namespace cli
