#include "platform/list_click.h"

#include <wx/listctrl.h>

namespace platform {

wxWindow* ListRowsWindow(wxListCtrl* list) {
    for (wxWindow* child : list->GetChildren()) {
        if (child->GetClassInfo()->GetClassName() == wxString("wxListMainWindow")) return child;
    }
    return list;
}

void OnListClick(wxListCtrl* list, std::function<void()> onClick) {
    ListRowsWindow(list)->Bind(wxEVT_LEFT_UP, [onClick = std::move(onClick)](wxMouseEvent& event) {
        event.Skip();
        onClick();
    });
}

}  // namespace platform
