#pragma once
class wxListCtrl;
class wxWindow;

namespace platform {

// The window that receives the mouse clicks of a list control's rows: on GTK the list
// draws its rows in an inner window of its own, where the clicks arrive.
wxWindow* ListClickWindow(wxListCtrl* list);

}  // namespace platform
