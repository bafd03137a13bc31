#pragma once
class wxWindow;

namespace guitest {

// Asks a top-level window to close as a window manager does (its close box): the request
// arrives through the display server and is handled when the window next takes events.
void SendCloseRequest(wxWindow* window);

}  // namespace guitest
