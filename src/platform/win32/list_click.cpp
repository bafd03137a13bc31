#include "platform/list_click.h"

#include <wx/listctrl.h>

namespace platform {

wxWindow* ListRowsWindow(wxListCtrl* list) { return list; }

void OnListClick(wxListCtrl* list, std::function<void()> onClick) {
    list->Bind(wxEVT_LEFT_DOWN, [onClick = std::move(onClick)](wxMouseEvent& event) {
        event.Skip();  // the list view then selects the row and follows the button until its release
        onClick();
    });
}

}  // namespace platform
