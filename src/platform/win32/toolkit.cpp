#include "platform/toolkit.h"

#include <wx/init.h>
#include <wx/window.h>

namespace platform {

bool DisplayAvailable() { return true; }

int RunApplication(int, char**) { return wxEntry(); }

void ApplyCompactControlStyle() {}  // the native controls keep the template's sizes

void FocusDialogItself(wxWindow* dialog) { dialog->SetFocus(); }

void ShowAsPushButton(wxWindow*, const wxString&) {}

}  // namespace platform
