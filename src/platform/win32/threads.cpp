#include "platform/threads.h"

#include <windows.h>

namespace platform {

void YieldToOtherThreads() { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

namespace {
double Seconds(const FILETIME& t) {  // in units of 100 ns
    return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}
}  // namespace

ThreadUsage ThisThreadUsage() {
    FILETIME created, ended, kernel, user;
    if (!::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user)) return {};
    return {Seconds(kernel) + Seconds(user), 0, 0};
}

ThreadUsage ProcessUsage() {
    FILETIME created, ended, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user)) return {};
    return {Seconds(kernel) + Seconds(user), 0, 0};
}

}  // namespace platform
