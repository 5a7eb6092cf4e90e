#include "window_launcher.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>

namespace app {

namespace fs = std::filesystem;

namespace {

// The folder of the running executable; argv[0]'s folder where /proc is missing.
fs::path executableFolder(const char* argv0) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec && self.has_parent_path()) {
        return self.parent_path();
    }
    const fs::path invoked = argv0 != nullptr ? fs::path(argv0) : fs::path();
    return invoked.has_parent_path() ? fs::absolute(invoked.parent_path(), ec) : fs::current_path(ec);
}

}  // namespace

std::vector<fs::path> windowProgramCandidates(const fs::path& executableFolder) {
    std::vector<fs::path> candidates{executableFolder / WindowProgramName};
    const fs::path installed = (executableFolder / TARVIK_INSTALLED_WINDOW_FOLDER / WindowProgramName).lexically_normal();
    if (installed != candidates.front()) {
        candidates.push_back(installed);
    }
    return candidates;
}

int startWindow(int argc, char** argv) {
    const auto candidates = windowProgramCandidates(executableFolder(argc > 0 ? argv[0] : nullptr));
    std::vector<char*> arguments(argv, argv + argc);
    arguments.push_back(nullptr);
    for (const fs::path& candidate : candidates) {
        const std::string program = candidate.string();
        arguments[0] = const_cast<char*>(program.c_str());
        ::execv(program.c_str(), arguments.data());
        // A missing file sends us on to the next place; anything else (not executable, a folder, a broken
        // binary) is the answer the user needs to see.
        if (errno != ENOENT && errno != ENOTDIR) {
            std::fprintf(stderr, "tarvikbmp: cannot start the window program %s: %s\n", program.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    std::string looked;
    for (const fs::path& candidate : candidates) {
        looked += (looked.empty() ? "" : ", ") + candidate.string();
    }
    std::fprintf(stderr,
                 "tarvikbmp: cannot open the window: the window program is missing (looked for %s); the "
                 "commands work without it, see tarvikbmp --help\n",
                 looked.c_str());
    return 1;
}

}  // namespace app
