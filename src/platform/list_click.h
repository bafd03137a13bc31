#pragma once
#include <functional>

class wxListCtrl;
class wxWindow;

namespace platform {

// Calls `onClick` at each mouse click on a list control's rows, while the toolkit still
// handles the click: the list updates its selection afterwards, so the caller reads it
// later (CallAfter). Where the click arrives is the toolkit's own: GTK draws the rows in
// an inner window of the list, which gets the button's release; the Win32 list view
// keeps the release to itself, so there the press is followed instead.
void OnListClick(wxListCtrl* list, std::function<void()> onClick);

// The window that gets the mouse's moves over a list control's rows: GTK's inner window
// of the list, the Win32 list view itself.
wxWindow* ListRowsWindow(wxListCtrl* list);

}  // namespace platform
