#include "stop.h"

#include <atomic>
#include <csignal>

namespace vv {
namespace {

std::atomic<int> gStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch a lock-free atomic");

extern "C" void OnStopSignal(int sig) { gStopSignal.store(sig, std::memory_order_relaxed); }

}  // namespace

void InstallStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;  // reads and writes in progress finish; the loop then sees the flag
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

int StopSignal() { return gStopSignal.load(std::memory_order_relaxed); }

}  // namespace vv
