#pragma once

#include <atomic>

namespace tarvik {

// How the program ends when asked to by a signal: Ctrl-C (SIGINT), a kill (SIGTERM), a closed terminal
// (SIGHUP) or a closed output pipe (SIGPIPE). The temporary files of the writes under way are removed and the
// program ends by that signal, so nothing hidden is left in the folders it wrote to.
//
// With `stop`, SIGINT, SIGTERM and SIGHUP only set it (and stoppingSignal() tells which came), leaving the
// caller to end its work in order; a second one ends the program at once, still removing the temporaries.
// A file-size limit (`ulimit -f`) no longer kills the program: a write past it fails with "File too large".
void handleTerminationSignals(std::atomic<bool>* stop = nullptr);

// The signal that set the stop flag, 0 while none came.
int stoppingSignal();

}  // namespace tarvik
