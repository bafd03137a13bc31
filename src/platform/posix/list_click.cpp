#include "platform/list_click.h"

#include <wx/listctrl.h>

namespace platform {

void OnListClick(wxListCtrl* list, std::function<void()> onClick) {
    wxWindow* rows = list;
    for (wxWindow* child : list->GetChildren()) {
        if (child->GetClassInfo()->GetClassName() == wxString("wxListMainWindow")) rows = child;
    }
    rows->Bind(wxEVT_LEFT_UP, [onClick = std::move(onClick)](wxMouseEvent& event) {
        event.Skip();
        onClick();
    });
}

}  // namespace platform
