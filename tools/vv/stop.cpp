#include "stop.h"

#include <atomic>

#include "platform/stop_request.h"

namespace vv {
namespace {

std::atomic<int> gStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch a lock-free atomic");

extern "C" void OnStopSignal(int sig) { gStopSignal.store(sig, std::memory_order_relaxed); }

}  // namespace

// Reads and writes in progress finish; the conversion loop then sees the flag.
void InstallStopHandlers() { platform::WatchStopRequests(OnStopSignal); }

int StopSignal() { return gStopSignal.load(std::memory_order_relaxed); }

bool DiscardRequested() { return StopSignal() == platform::kDiscardSignal; }

}  // namespace vv
