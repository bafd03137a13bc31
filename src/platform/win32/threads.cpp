#include "platform/threads.h"

#include <windows.h>

namespace platform {

void YieldToOtherThreads() { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

}  // namespace platform
