#pragma once

// Starting the window from the command line: `tarvikbmp` itself never loads Qt, it hands the window's work to
// the window program by replacing itself with it.

#include <filesystem>
#include <string_view>
#include <vector>

namespace app {

inline constexpr std::string_view WindowProgramName = "tarvikbmp-window";

// Where the window program may lie, in the order tried: beside the command line (the build folder, an
// unpacked copy), then where an install puts it, relative to the command line's folder.
std::vector<std::filesystem::path> windowProgramCandidates(const std::filesystem::path& executableFolder);

// Replaces this process with the window program, handing argv[1] onwards on unchanged (so a later start's
// paths reach the running window exactly as before). Returns only when that failed, after saying why on
// stderr; the result is then the exit status, 1.
int startWindow(int argc, char** argv);

}  // namespace app
