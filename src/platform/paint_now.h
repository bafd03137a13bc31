#pragma once
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/window.h>

namespace platform {

// Shows a window's new look at once, before the caller blocks. GTK paints in its own
// frame cycle, so the pending drawing is let through; user input waits for later.
inline void PaintNow(wxWindow* window) {
    window->Refresh();
    window->Update();
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
        for (int i = 0; i < 3; ++i) loop->YieldFor(wxEVT_CATEGORY_UI);
    }
}

}  // namespace platform
