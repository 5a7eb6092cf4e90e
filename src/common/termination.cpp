#include "termination.h"

#include <signal.h>

#include "file_io.h"

namespace tarvik {

namespace {

std::atomic<std::atomic<bool>*> g_stop{nullptr};
std::atomic<int> g_stoppingSignal{0};

void endBySignal(int signal) {
    removeTemporariesUnderWay();
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(signal, &defaultAction, nullptr);
    // Delivered once this handler returns, the signal being blocked while it runs.
    raise(signal);
}

void onSignal(int signal) {
    std::atomic<bool>* stop = g_stop.load();
    if (stop != nullptr && signal != SIGPIPE) {
        int none = 0;
        if (g_stoppingSignal.compare_exchange_strong(none, signal)) {
            stop->store(true);
            return;
        }
    }
    endBySignal(signal);
}

}  // namespace

void handleTerminationSignals(std::atomic<bool>* stop) {
    g_stoppingSignal.store(0);
    g_stop.store(stop);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        sigaddset(&action.sa_mask, signal);
    }
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        sigaction(signal, &action, nullptr);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, nullptr);
}

int stoppingSignal() {
    return g_stoppingSignal.load();
}

}  // namespace tarvik
