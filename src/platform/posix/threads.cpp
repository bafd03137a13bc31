#include "platform/threads.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

void YieldToOtherThreads() {
    // On Linux a thread's nice value is its own: only this thread steps back.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    const int now = ::getpriority(PRIO_PROCESS, thread);
    ::setpriority(PRIO_PROCESS, thread, now + 5);
}

namespace {
ThreadUsage UsageOf(int who) {
    struct rusage r {};
    if (::getrusage(who, &r) != 0) return {};
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return {seconds(r.ru_utime) + seconds(r.ru_stime), r.ru_nvcsw, r.ru_nivcsw};
}
}  // namespace

ThreadUsage ThisThreadUsage() { return UsageOf(RUSAGE_THREAD); }
ThreadUsage ProcessUsage() { return UsageOf(RUSAGE_SELF); }

}  // namespace platform
