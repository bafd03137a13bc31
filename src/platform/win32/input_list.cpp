// The input list on Windows: the template's own list control, the system's list view,
// which screen readers read already.
#include "platform/input_list.h"

#include <algorithm>
#include <wx/listctrl.h>

namespace platform {

namespace {
wxListCtrl* List(wxWindow* window) { return static_cast<wxListCtrl*>(window); }
}  // namespace

InputList::~InputList() = default;

void InputList::Attach(wxWindow* templateList) {
    m_window = templateList;
    // The list view keeps the mouse's release to itself: the press is followed instead, and
    // the list then selects the row and follows the button until its release.
    m_window->Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) {
        event.Skip();
        if (m_onPick) m_onPick();
    });
    m_window->Bind(wxEVT_KEY_UP, [this](wxKeyEvent& event) {
        event.Skip();
        if (m_onPick) m_onPick();
    });
    m_window->Bind(wxEVT_MOTION, [this](wxMouseEvent& event) {
        event.Skip();
        ShowTipAt(RowAt(event.GetPosition()));
    });
}

void InputList::AddColumns(const wxString& name, int nameWidth, const wxString& status, int statusWidth) {
    List(m_window)->InsertColumn(0, name, wxLIST_FORMAT_LEFT, nameWidth);
    List(m_window)->InsertColumn(1, status, wxLIST_FORMAT_LEFT, statusWidth);
}

wxWindow* InputList::RowsWindow() const { return m_window; }

int InputList::Count() const { return List(m_window)->GetItemCount(); }

void InputList::InsertItem(int at, const wxString& path) { List(m_window)->InsertItem(at, path); }

void InputList::DeleteItem(int row) { List(m_window)->DeleteItem(row); }

void InputList::DeleteAllItems() { List(m_window)->DeleteAllItems(); }

wxString InputList::Path(int row) const { return List(m_window)->GetItemText(row, 0); }

wxString InputList::Status(int row) const { return List(m_window)->GetItemText(row, 1); }

void InputList::SetStatusText(int row, const wxString& text) { List(m_window)->SetItem(row, 1, text); }

std::vector<int> InputList::SelectedRows() const {
    std::vector<int> rows;
    for (long row = List(m_window)->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); row >= 0;
         row = List(m_window)->GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) {
        rows.push_back(static_cast<int>(row));
    }
    return rows;
}

void InputList::SetSelection(const std::vector<int>& rows, int focused) {
    for (int row = 0; row < Count(); ++row) {
        const bool selected = std::find(rows.begin(), rows.end(), row) != rows.end();
        List(m_window)->SetItemState(row, selected ? wxLIST_STATE_SELECTED : 0, wxLIST_STATE_SELECTED);
    }
    List(m_window)->SetItemState(focused, wxLIST_STATE_FOCUSED, wxLIST_STATE_FOCUSED);
}

int InputList::RowAt(wxPoint point) const {
    int flags = 0;
    return List(m_window)->HitTest(point, flags);
}

wxRect InputList::RowRect(int row) const {
    wxRect rect;
    List(m_window)->GetItemRect(row, rect);
    return rect;
}

int InputList::ColumnWidth(int column) const { return List(m_window)->GetColumnWidth(column); }

wxString InputList::ColumnHeading(int column) const {
    wxListItem item;
    item.SetMask(wxLIST_MASK_TEXT);
    List(m_window)->GetColumn(column, item);
    return item.GetText();
}

void InputList::PublishTip(int) {}  // the list view has no place for it; the tooltip shows it

}  // namespace platform
