#include "platform/list_click.h"

#include <wx/listctrl.h>

namespace platform {

wxWindow* ListClickWindow(wxListCtrl* list) {
    for (wxWindow* child : list->GetChildren()) {
        if (child->GetClassInfo()->GetClassName() == wxString("wxListMainWindow")) return child;
    }
    return list;
}

}  // namespace platform
