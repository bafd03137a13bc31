#include "platform/stop_request.h"

#include <csignal>
#include <initializer_list>

namespace platform {

void WatchStopRequests(StopHandler handler) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int sig : {SIGTERM, SIGINT, SIGHUP, kDiscardSignal}) sigaction(sig, &sa, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

std::string StopRequestName(int signal) {
    switch (signal) {
        case SIGTERM: return "SIGTERM";
        case SIGINT: return "SIGINT";
        case SIGHUP: return "SIGHUP";
        case SIGUSR1: return "SIGUSR1";
        default: return "signal " + std::to_string(signal);
    }
}

}  // namespace platform
