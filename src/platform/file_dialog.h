#pragma once
// Reading the choice of the toolkit's file and folder dialogs.
#include <wx/dirdlg.h>
#include <wx/filedlg.h>

namespace platform {

// The path the user chose in a file or folder dialog. GTK's choosers settle a path
// given by program only after their folder has loaded, so a path set by program (as
// the modal-dialog test hooks do) is read from the dialog's own record instead.
inline wxString ChosenPath(const wxFileDialog& dialog) {
    const wxString path = dialog.GetPath();
    return path.empty() ? dialog.wxFileDialogBase::GetPath() : path;
}

inline wxString ChosenPath(const wxDirDialog& dialog) {
    const wxString path = dialog.GetPath();
    return path.empty() ? dialog.wxDirDialogBase::GetPath() : path;
}

}  // namespace platform
