// The main window's input list (add, delete, clear, move, mouse selection) and the
// output folder chooser.
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>

#include "app/CMorvenDlg.h"
#include "inputs/input_files.h"
#include "platform/file_dialog.h"
#include "platform/narrow.h"

void CMorvenDlg::OnAdd(wxCommandEvent&) {
    wxFileDialog dialog(this, wxString::FromUTF8("选择打开的文件"), wxEmptyString, wxEmptyString,
                        platform::FromNarrow(inputs::CaseInsensitiveWildcard(inputs::InputWildcard())), wxFD_OPEN);
    dialog.SetFilterIndex(0);
    if (dialog.ShowModal() != wxID_OK) return;

    m_list->InsertItem(0, platform::ChosenPath(dialog));
    // The new row pushes the others down; the picked row keeps naming the same file.
    if (m_nSelectedRow >= 0) ++m_nSelectedRow;
}

void CMorvenDlg::OnDelete(wxCommandEvent&) {
    if (m_nSelectedRow < 0 || m_nSelectedRow >= m_list->GetItemCount()) return;
    m_list->DeleteItem(m_nSelectedRow);
}

void CMorvenDlg::OnClear(wxCommandEvent&) {
    m_list->DeleteAllItems();
    m_nSelectedRow = -1;  // no row of a new list was ever picked
}

void CMorvenDlg::OnMoveUp(wxCommandEvent&) { MoveSelectedRow(-1); }

void CMorvenDlg::OnMoveDown(wxCommandEvent&) { MoveSelectedRow(+1); }

void CMorvenDlg::MoveSelectedRow(int delta) {
    m_list->SetFocus();
    const int from = m_nSelectedRow;
    const int to = from + delta;
    if (from < 0 || from >= m_list->GetItemCount() || to < 0 || to >= m_list->GetItemCount()) return;

    const wxString path = m_list->GetItemText(from, 0);
    const wxString status = m_list->GetItemText(from, 1);
    m_list->DeleteItem(from);
    m_list->InsertItem(to, path);
    m_list->SetItem(to, 1, status);
    m_nSelectedRow = to;
    const long both = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
    m_list->SetItemState(to, both, both);
}

void CMorvenDlg::OnClickList() {
    m_nSelectedRow = static_cast<int>(m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
}

void CMorvenDlg::OnSetOutputDir(wxCommandEvent&) {
    wxDirDialog dialog(this, wxString::FromUTF8("请选择要打开的文件夹:"), wxEmptyString,
                       wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return;
    OutputDirEdit()->SetValue(
        platform::FromNarrow(inputs::ChosenFolderText(platform::ToNarrow(platform::ChosenPath(dialog)))));
}
