#include "platform/stop_request.h"

#include <atomic>
#include <csignal>
#include <thread>
#include <utility>

#include "platform/process.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {

std::atomic<StopHandler> gHandler{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    const StopHandler handler = gHandler.load();
    if (handler == nullptr) return FALSE;
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT: handler(SIGINT); return TRUE;
        case CTRL_CLOSE_EVENT:
            handler(SIGTERM);
            // The system ends the process when this returns: give the tool the time the
            // system allows to finish its output (its own exit ends the wait).
            ::Sleep(5000);
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

void WatchStopRequests(StopHandler handler) {
    gHandler.store(handler);
    ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);

    // A small watcher for each of the program's requests; it lives as long as the tool.
    for (const auto& [variable, signal] :
         {std::pair{kStopEventVariable, SIGTERM}, std::pair{kDiscardEventVariable, kDiscardSignal}}) {
        wchar_t name[256] = {};
        const DWORD n = ::GetEnvironmentVariableW(win32::Widen(variable).c_str(), name, 256);
        if (n == 0 || n >= 256) continue;  // started without this event: only the console can ask
        win32::UniqueHandle event = win32::Own(::OpenEventW(SYNCHRONIZE, FALSE, name));
        if (!event) continue;
        std::thread([event = std::move(event), handler, signal = signal] {
            if (::WaitForSingleObject(event.get(), INFINITE) == WAIT_OBJECT_0) handler(signal);
        }).detach();
    }
}

std::string StopRequestName(int signal) {
    switch (signal) {
        case SIGTERM: return "the program's stop request";
        case kDiscardSignal: return "the program's discard request";
        case SIGINT: return "Ctrl-C";
        default: return "signal " + std::to_string(signal);
    }
}

}  // namespace platform
