#pragma once
// The main window's input list: one row per file, its full name in the first column and
// its status text in the second, with grid lines. The operations are the few the window
// uses; each toolkit keeps its own native list behind them, one that screen readers and
// the keyboard reach: on Linux GTK's tree view (wxWidgets' generic list is drawn by hand
// and invisible to screen readers), on Windows the system's list view.
//
// A row may carry a tip (why its file failed, or the converter's notes): it shows as the
// row's tooltip while the pointer rests on the row, and screen readers read it as the
// description of the row's status cell.
#include <functional>
#include <vector>
#include <wx/gdicmn.h>
#include <wx/string.h>

class wxWindow;
class wxMouseEvent;

namespace platform {

class InputList {
public:
    InputList() = default;
    ~InputList();
    InputList(const InputList&) = delete;
    InputList& operator=(const InputList&) = delete;

    // Takes the place of the list control the dialog template created: same id, place,
    // size and tab position.
    void Attach(wxWindow* templateList);
    // The two columns: their headings and widths in pixels.
    void AddColumns(const wxString& name, int nameWidth, const wxString& status, int statusWidth);

    // The list's window (to enable, focus, drop onto) and the one that gets the pointer
    // over the rows.
    wxWindow* Window() const { return m_window; }
    wxWindow* RowsWindow() const;

    int Count() const;
    void InsertRow(int at, const wxString& path);  // with an empty status and no tip
    void DeleteRow(int row);
    // Moves a row with its texts and tip; it becomes selected and focused, and the other
    // rows keep their selection.
    void MoveRow(int from, int to);
    void Clear();

    wxString Path(int row) const;
    wxString Status(int row) const;
    void SetStatus(int row, const wxString& text);  // unchanged text is not rewritten
    wxString Tip(int row) const;
    void SetTip(int row, const wxString& tip);
    void ClearTips();

    // The selected rows, top first; the topmost, -1 for none.
    std::vector<int> SelectedRows() const;
    int SelectedRow() const;

    // The row under a point of RowsWindow(), -1 for none; a row's place in Window().
    int RowAt(wxPoint point) const;
    wxRect RowRect(int row) const;
    int ColumnWidth(int column) const;
    wxString ColumnHeading(int column) const;

    // Calls `onPick` whenever the user may have picked a row: a mouse click on the rows or a
    // key released in the list, once the list has handled it (the caller reads the
    // selection later, CallAfter).
    void OnPick(std::function<void()> onPick);

private:
    // The toolkit's side of the row operations; the tips are kept by the shared side.
    void InsertItem(int at, const wxString& path);
    void DeleteItem(int row);
    void DeleteAllItems();
    void SetStatusText(int row, const wxString& text);
    void SetSelection(const std::vector<int>& rows, int focused);  // exactly these rows
    void ShowTipAt(int row);
    void PublishTips();  // every row's tip to the accessibility tree
    void PublishTip(int row);

    wxWindow* m_window = nullptr;
    std::vector<wxString> m_tips;  // one per row
    std::function<void()> m_onPick;
};

}  // namespace platform
