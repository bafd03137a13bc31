// The main window's input list (add, delete, clear, move, mouse selection) and the
// output folder chooser.
#include <wx/dirdlg.h>
#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>

#include "app/CMorvenDlg.h"
#include "inputs/input_files.h"
#include "platform/file_dialog.h"
#include "platform/narrow.h"

namespace {

// Rows inserted on top push the others down, and the picked row keeps naming the same
// file. An index that names no row (a row picked before 清空) has no file to follow and
// stays as it was.
int PickedRowAfterInsert(int picked, int rowsBefore, int inserted) {
    return picked >= 0 && picked < rowsBefore ? picked + inserted : picked;
}

}  // namespace

void CMorvenDlg::OnAdd(wxCommandEvent&) {
    wxFileDialog dialog(this, wxString::FromUTF8("选择打开的文件"), wxEmptyString, wxEmptyString,
                        platform::FromNarrow(inputs::CaseInsensitiveWildcard(inputs::InputWildcard())), wxFD_OPEN);
    dialog.SetFilterIndex(0);
    if (dialog.ShowModal() != wxID_OK) return;

    m_nSelectedRow = PickedRowAfterInsert(m_nSelectedRow, m_list.Count(), 1);
    m_list.InsertRow(0, platform::FromNarrow(platform::ToolkitFileName(platform::ChosenPath(dialog))));
}

// Files dragged from the file manager onto the window or its list.
class CMorvenDlg::DropTarget : public wxFileDropTarget {
public:
    explicit DropTarget(CMorvenDlg* dlg) : m_dlg(dlg) {}

    // During a run the add button is disabled, and a drop is refused the same way.
    wxDragResult OnDragOver(wxCoord x, wxCoord y, wxDragResult def) override {
        return m_dlg->FindWindow(IDC_ADD)->IsEnabled() ? wxFileDropTarget::OnDragOver(x, y, def) : wxDragNone;
    }
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
        std::vector<std::string> narrow;
        for (const wxString& name : names) narrow.push_back(platform::ToolkitFileName(name));
        return m_dlg->TakeHandedFiles(narrow, false);
    }

private:
    CMorvenDlg* m_dlg;
};

void CMorvenDlg::AcceptDrops() {
    SetDropTarget(new DropTarget(this));  // each window owns its target
    m_list.Window()->SetDropTarget(new DropTarget(this));
}

namespace {

// One message listing names: at most ten, then how many more.
wxString NameList(const char* heading, const std::vector<std::string>& names) {
    wxString text = wxString::FromUTF8(heading);
    constexpr std::size_t kShown = 10;
    for (std::size_t i = 0; i < names.size() && i < kShown; ++i) text += "\n" + platform::FromNarrow(names[i]);
    if (names.size() > kShown)
        text += wxString::Format(wxString::FromUTF8("\n……（另有 %zu 个）"), names.size() - kShown);
    return text;
}

}  // namespace

bool CMorvenDlg::TakeHandedFiles(const std::vector<std::string>& names, bool atStart) {
    if (!FindWindow(IDC_ADD)->IsEnabled()) return false;  // a run is under way
    const inputs::HandedFiles sorted = inputs::SortHandedFiles(names);
    // One block on top, in the order given.
    m_nSelectedRow = PickedRowAfterInsert(m_nSelectedRow, m_list.Count(), static_cast<int>(sorted.added.size()));
    int position = 0;
    for (const std::string& file : sorted.added) m_list.InsertRow(position++, platform::FromNarrow(file));

    wxString text;
    if (!sorted.notFiles.empty()) text = NameList("以下名称不是文件：", sorted.notFiles);
    if (!sorted.notVideos.empty()) {
        if (!text.empty()) text += "\n\n";
        text += NameList("以下文件不是支持的视频格式：", sorted.notVideos);
    }
    if (!text.empty()) {
        auto show = [this, text] { wxMessageBox(text, wxString::FromUTF8("提示信息"), wxOK, this); };
        if (atStart) {
            CallAfter(show);  // once the window shows
        } else {
            show();
        }
    }
    return !sorted.added.empty();
}

void CMorvenDlg::OnDelete(wxCommandEvent&) {
    if (m_nSelectedRow < 0 || m_nSelectedRow >= m_list.Count()) return;
    m_list.DeleteRow(m_nSelectedRow);
}

// The picked row keeps its value, as on 删除: it names whatever row comes into its place.
void CMorvenDlg::OnClear(wxCommandEvent&) { m_list.Clear(); }

void CMorvenDlg::OnMoveUp(wxCommandEvent&) { MoveSelectedRow(-1); }

void CMorvenDlg::OnMoveDown(wxCommandEvent&) { MoveSelectedRow(+1); }

void CMorvenDlg::MoveSelectedRow(int delta) {
    m_list.Window()->SetFocus();
    const int from = m_nSelectedRow;
    const int to = from + delta;
    if (from < 0 || from >= m_list.Count() || to < 0 || to >= m_list.Count()) return;
    m_list.MoveRow(from, to);  // both column texts and the tip go with it
    m_nSelectedRow = to;
}

void CMorvenDlg::OnClickList() { m_nSelectedRow = m_list.SelectedRow(); }

void CMorvenDlg::OnSetOutputDir(wxCommandEvent&) {
    wxDirDialog dialog(this, wxString::FromUTF8("请选择要打开的文件夹:"), wxEmptyString,
                       wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
    if (dialog.ShowModal() != wxID_OK) return;
    OutputDirEdit()->SetValue(
        platform::FromNarrow(inputs::ChosenFolderText(platform::ToolkitFileName(platform::ChosenPath(dialog)))));
}
