#pragma once

namespace cli {

// Runs the command-line front. Exit codes: 0 success, 1 failure, 2 usage error, 130 interrupted.
int run(int argc, char** argv);

// True when the arguments ask for the command line rather than the window (a subcommand or an option).
bool wantsCommandLine(int argc, char** argv);

}  // namespace cli
