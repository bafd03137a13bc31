#pragma once
#include <wx/gdicmn.h>
class wxWindow;

namespace guitest {

// Asks a top-level window to close as a window manager does (its close box): the request
// arrives through the display server and is handled when the window next takes events.
void SendCloseRequest(wxWindow* window);

// Whether a window (also a dialog the toolkit draws itself, such as a message box, while it
// is shown) is on the screen.
bool Mapped(wxWindow* window);

// The middle of a shown window on the screen, also of a message box the toolkit draws.
wxPoint MiddleOnScreen(wxWindow* window);

}  // namespace guitest
