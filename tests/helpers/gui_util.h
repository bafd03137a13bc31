#pragma once
// Small helpers for the window tests.
#include <chrono>
#include <functional>
#include <thread>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/string.h>

// The window's texts are UTF-8 in the sources.
inline wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

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

#include <wx/button.h>
#include <wx/uiaction.h>

#include "platform/input_list.h"

namespace guitest {

// Presses a push button as a click does: the button reports it to its window.
inline void Press(wxWindow* dialog, int id) {
    wxWindow* button = dialog->FindWindow(id);
    if (button == nullptr) throw std::runtime_error("no control " + std::to_string(id));
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
}

}  // namespace guitest

#include <cstdlib>
#include <string>

namespace guitest {

// Whether xdotool, which types on the display's keyboard, is there.
inline bool HaveXdotool() { return std::system("command -v xdotool >/dev/null 2>&1") == 0; }

// Rests the real pointer at a point of the screen and presses a key on the display's
// keyboard (xdotool, through XTEST), as a user does. Without a window manager the keyboard
// goes to the window under the pointer. `key` is an X key name: "Escape", "Return".
inline bool TypeKeyAt(wxPoint at, const char* key) {
    const std::string cmd =
        "xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " sleep 0.1 key " + key;
    return std::system(cmd.c_str()) == 0;
}

// The same over the middle of a window.
inline bool TypeKeyOver(wxWindow* window, const char* key) {
    const wxRect rect = window->GetScreenRect();
    return TypeKeyAt(rect.GetPosition() + wxPoint(rect.width / 2, rect.height / 2), key);
}

// Clicks a window (a button) with the real pointer, in its middle.
inline void Click(wxWindow* window) {
    const wxRect rect = window->GetScreenRect();
    wxUIActionSimulator sim;
    sim.MouseMove(rect.GetPosition() + wxPoint(rect.width / 2, rect.height / 2));
    Yield();
    sim.MouseClick();
}

// Clicks a point of the screen with the real pointer, Ctrl held if asked: xdotool's click
// where it is there (GTK's tree view takes it as a user's), else the toolkit's simulated one.
inline void ClickAt(wxPoint at, bool withCtrl = false) {
    if (HaveXdotool()) {
        const std::string click = withCtrl ? " keydown ctrl click 1 keyup ctrl" : " click 1";
        const std::string cmd =
            "xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " sleep 0.1" + click;
        if (std::system(cmd.c_str()) == 0) {
            Yield(10);
            return;
        }
    }
    wxUIActionSimulator sim;
    sim.MouseMove(at);
    Yield();
    if (withCtrl) sim.KeyDown(WXK_CONTROL);
    sim.MouseClick();
    if (withCtrl) sim.KeyUp(WXK_CONTROL);
    Yield(10);
}

// Clicks a row of the input list with the real pointer (Ctrl+click adds it to the selection).
inline void ClickRow(platform::InputList& list, int row, bool withCtrl = false) {
    Yield();  // the list lays out rows just added
    const wxRect rect = list.RowRect(row);
    ClickAt(list.Window()->ClientToScreen(wxPoint(rect.x + 20, rect.y + rect.height / 2)), withCtrl);
}

// Clicks the empty space below the rows of the input list.
inline void ClickBelowRows(platform::InputList& list) {
    const wxSize size = list.Window()->GetClientSize();
    ClickAt(list.Window()->ClientToScreen(wxPoint(40, size.y - 8)));
}

}  // namespace guitest

#include <ostream>

// Readable wxString values in test failure messages.
inline void PrintTo(const wxString& text, std::ostream* os) { *os << '"' << text.utf8_string() << '"'; }
