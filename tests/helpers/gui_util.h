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

#include <wx/choice.h>

namespace guitest {

// Picks an entry of a drop-down list as the user would: the selection changes and the
// list reports it.
inline void Choose(wxChoice* choice, const wxString& label) {
    const int index = choice->FindString(label, true);
    if (index == wxNOT_FOUND) throw std::runtime_error("no entry " + label.utf8_string());
    choice->SetSelection(index);
    wxCommandEvent event(wxEVT_CHOICE, choice->GetId());
    event.SetEventObject(choice);
    event.SetInt(index);
    event.SetString(label);
    choice->GetEventHandler()->ProcessEvent(event);
}

inline std::vector<wxString> Entries(wxChoice* choice) {
    const wxArrayString all = choice->GetStrings();
    return {all.begin(), all.end()};
}

}  // namespace guitest
