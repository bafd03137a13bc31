#pragma once
// Small helpers for the window tests.
#include <chrono>
#include <functional>
#include <thread>
#include <wx/app.h>
#include <wx/evtloop.h>

namespace guitest {

// Lets the window system deliver what is pending.
inline void Yield(int rounds = 5) {
    for (int i = 0; i < rounds; ++i) {
        wxTheApp->ProcessPendingEvents();
        wxYield();
    }
}

// Processes events until the condition holds or the limit passes.
inline bool WaitUntil(const std::function<bool()>& cond, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        Yield(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace guitest
