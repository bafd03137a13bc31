#include "platform/input_list.h"

#include <algorithm>
#include <string>
#include <utility>
#include <wx/window.h>

#include "platform/wrap_text.h"

namespace platform {

void InputList::InsertRow(int at, const wxString& path) {
    at = std::clamp(at, 0, Count());
    InsertItem(at, path);
    m_tips.insert(m_tips.begin() + at, wxString());
    PublishTips();
}

void InputList::DeleteRow(int row) {
    if (row < 0 || row >= Count()) return;
    DeleteItem(row);
    if (row < static_cast<int>(m_tips.size())) m_tips.erase(m_tips.begin() + row);
    PublishTips();
}

void InputList::MoveRow(int from, int to) {
    if (from < 0 || from >= Count() || to < 0 || to >= Count()) return;
    // The rows between the two places shift by one toward `from`, each with its selection.
    std::vector<int> selected;
    for (int row : SelectedRows()) {
        if (row == from) continue;
        if (from < to && row > from && row <= to) --row;
        if (to < from && row >= to && row < from) ++row;
        selected.push_back(row);
    }
    selected.push_back(to);
    const wxString path = Path(from);
    const wxString status = Status(from);
    const wxString tip = Tip(from);
    DeleteItem(from);
    m_tips.erase(m_tips.begin() + from);
    InsertItem(to, path);
    m_tips.insert(m_tips.begin() + to, tip);
    SetStatusText(to, status);
    SetSelection(selected, to);
    PublishTips();
}

void InputList::Clear() {
    DeleteAllItems();
    m_tips.clear();
}

int InputList::SelectedRow() const {
    const std::vector<int> rows = SelectedRows();
    return rows.empty() ? -1 : rows.front();
}

void InputList::SetStatus(int row, const wxString& text) {
    if (row >= 0 && row < Count() && Status(row) != text) SetStatusText(row, text);
}

wxString InputList::Tip(int row) const {
    return row >= 0 && row < static_cast<int>(m_tips.size()) ? m_tips[static_cast<std::size_t>(row)] : wxString();
}

void InputList::SetTip(int row, const wxString& tip) {
    if (row < 0 || row >= static_cast<int>(m_tips.size())) return;
    m_tips[static_cast<std::size_t>(row)] = tip;
    PublishTip(row);
}

void InputList::ClearTips() {
    for (wxString& tip : m_tips) tip.clear();
    PublishTips();
}

void InputList::PublishTips() {
    for (int row = 0; row < static_cast<int>(m_tips.size()); ++row) PublishTip(row);
}

void InputList::ShowTipAt(int row) {
    // Shown in lines that fit the screen; the row's tip itself (what a screen reader
    // reads) stays as it was.
    const wxString tip = wxString::FromUTF8(WrapLongLines(std::string(Tip(row).utf8_str())));
    wxWindow* rows = RowsWindow();
    if (tip == rows->GetToolTipText()) return;
    if (tip.empty()) {
        rows->UnsetToolTip();
    } else {
        rows->SetToolTip(tip);
    }
}

void InputList::OnPick(std::function<void()> onPick) { m_onPick = std::move(onPick); }

}  // namespace platform
