// The input list on Linux: wxWidgets' data view list, a GTK tree view with a list store.
// GTK gives it to screen readers as a table (a row per file, a cell per column, the
// selected rows as the selection); the row's tip is set as its status cell's description.
#include "platform/input_list.h"

#include <algorithm>
#include <gtk/gtk.h>
#include <wx/dataview.h>

namespace platform {

namespace {

wxDataViewListCtrl* List(wxWindow* window) { return static_cast<wxDataViewListCtrl*>(window); }
GtkTreeView* TreeView(wxWindow* window) { return GTK_TREE_VIEW(List(window)->GtkGetTreeView()); }

// The row under a point of the tree view's rows, -1 for none.
int RowAtBinPoint(GtkTreeView* view, int x, int y) {
    GtkTreePath* path = nullptr;
    if (!gtk_tree_view_get_path_at_pos(view, x, y, &path, nullptr, nullptr, nullptr) || path == nullptr) return -1;
    const int row = gtk_tree_path_get_depth(path) > 0 ? gtk_tree_path_get_indices(path)[0] : -1;
    gtk_tree_path_free(path);
    return row;
}

}  // namespace

InputList::~InputList() {
    // The tree view outlives this object by a moment (the dialog frees its children last).
    if (m_window != nullptr) g_signal_handlers_disconnect_by_data(List(m_window)->GtkGetTreeView(), this);
}

void InputList::Attach(wxWindow* templateList) {
    wxWindow* parent = templateList->GetParent();
    // Single or several rows may be selected, as in the template's list; grid lines both ways.
    auto* list =
        new wxDataViewListCtrl(parent, templateList->GetId(), templateList->GetPosition(), templateList->GetSize(),
                               wxDV_MULTIPLE | wxDV_HORIZ_RULES | wxDV_VERT_RULES | wxBORDER_SUNKEN);
    list->MoveAfterInTabOrder(templateList);
    templateList->Destroy();
    m_window = list;

    // The tree view handles the pointer and the keys itself; each is followed once the
    // tree view has done its part (its selection is up to date by the release).
    GtkWidget* view = list->GtkGetTreeView();
    gtk_widget_add_events(view, GDK_POINTER_MOTION_MASK | GDK_BUTTON_RELEASE_MASK | GDK_KEY_RELEASE_MASK);
    const auto picked = +[](GtkWidget*, GdkEvent*, InputList* self) -> gboolean {
        if (self->m_onPick) self->m_onPick();
        return FALSE;
    };
    // A click on the empty space below the rows selects nothing, as in a list view (the
    // tree view would keep its selection).
    const auto pressed = +[](GtkWidget* widget, GdkEventButton* event, gpointer) -> gboolean {
        GtkTreeView* tree = GTK_TREE_VIEW(widget);
        if (event->type == GDK_BUTTON_PRESS && event->button == 1 &&
            (event->state & gtk_accelerator_get_default_mod_mask()) == 0 &&
            event->window == gtk_tree_view_get_bin_window(tree) &&
            RowAtBinPoint(tree, static_cast<int>(event->x), static_cast<int>(event->y)) < 0) {
            gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(tree));
        }
        return FALSE;
    };
    g_signal_connect(view, "button-press-event", G_CALLBACK(pressed), nullptr);
    g_signal_connect(view, "button-release-event", G_CALLBACK(picked), this);
    g_signal_connect(view, "key-release-event", G_CALLBACK(picked), this);
    const auto moved = +[](GtkWidget* widget, GdkEventMotion* event, InputList* self) -> gboolean {
        GtkTreeView* tree = GTK_TREE_VIEW(widget);
        const bool overRows = event->window == gtk_tree_view_get_bin_window(tree);
        self->ShowTipAt(overRows ? RowAtBinPoint(tree, static_cast<int>(event->x), static_cast<int>(event->y)) : -1);
        return FALSE;
    };
    g_signal_connect(view, "motion-notify-event", G_CALLBACK(moved), this);
    // The list is one tab stop, its rows: the tree view would also stop at each column
    // heading, which sorts nothing here. Tab and Shift+Tab enter the rows and leave the list.
    const auto focus = +[](GtkWidget* widget, GtkDirectionType direction, gpointer) -> gboolean {
        if (direction != GTK_DIR_TAB_FORWARD && direction != GTK_DIR_TAB_BACKWARD) return FALSE;
        g_signal_stop_emission_by_name(widget, "focus");
        if (gtk_widget_has_focus(widget)) return FALSE;  // on to the next control
        gtk_widget_grab_focus(widget);
        return TRUE;
    };
    g_signal_connect(view, "focus", G_CALLBACK(focus), nullptr);
}

void InputList::AddColumns(const wxString& name, int nameWidth, const wxString& status, int statusWidth) {
    List(m_window)->AppendTextColumn(name, wxDATAVIEW_CELL_INERT, nameWidth, wxALIGN_LEFT, wxDATAVIEW_COL_RESIZABLE);
    List(m_window)->AppendTextColumn(status, wxDATAVIEW_CELL_INERT, statusWidth, wxALIGN_LEFT,
                                     wxDATAVIEW_COL_RESIZABLE);
}

wxWindow* InputList::RowsWindow() const { return m_window; }

int InputList::Count() const { return static_cast<int>(List(m_window)->GetItemCount()); }

void InputList::InsertItem(int at, const wxString& path) {
    wxVector<wxVariant> values;
    values.push_back(wxVariant(path));
    values.push_back(wxVariant(wxString()));
    List(m_window)->InsertItem(static_cast<unsigned>(at), values);
}

void InputList::DeleteItem(int row) { List(m_window)->DeleteItem(static_cast<unsigned>(row)); }

void InputList::DeleteAllItems() { List(m_window)->DeleteAllItems(); }

wxString InputList::Path(int row) const { return List(m_window)->GetTextValue(static_cast<unsigned>(row), 0); }

wxString InputList::Status(int row) const { return List(m_window)->GetTextValue(static_cast<unsigned>(row), 1); }

void InputList::SetStatusText(int row, const wxString& text) {
    List(m_window)->SetTextValue(text, static_cast<unsigned>(row), 1);
    // wxWidgets only redraws the cell; the tree view's accessible cells take their texts
    // anew when the model says the row has changed.
    GtkTreeView* view = TreeView(m_window);
    GtkTreeModel* model = gtk_tree_view_get_model(view);
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    GtkTreeIter iter;
    if (model != nullptr && gtk_tree_model_get_iter(model, &iter, path)) gtk_tree_model_row_changed(model, path, &iter);
    gtk_tree_path_free(path);
}

std::vector<int> InputList::SelectedRows() const {
    wxDataViewItemArray items;
    List(m_window)->GetSelections(items);
    std::vector<int> rows;
    for (const wxDataViewItem& item : items) {
        const int row = List(m_window)->ItemToRow(item);
        if (row >= 0) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void InputList::SetSelection(const std::vector<int>& rows, int focused) {
    // Set anew, not kept: GTK replaces the whole selection with the cursor's row when the
    // cursor's row is deleted. The cursor moves without touching the selection.
    List(m_window)->UnselectAll();
    List(m_window)->SetCurrentItem(List(m_window)->RowToItem(focused));
    for (const int row : rows) List(m_window)->Select(List(m_window)->RowToItem(row));
}

int InputList::RowAt(wxPoint point) const {
    wxDataViewItem item;
    wxDataViewColumn* column = nullptr;
    List(m_window)->HitTest(point, item, column);
    return item.IsOk() ? List(m_window)->ItemToRow(item) : -1;
}

wxRect InputList::RowRect(int row) const {
    // The row's area in the tree view's rows, moved into the control's client area.
    GtkTreeView* view = TreeView(m_window);
    GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
    GdkRectangle area{};
    gtk_tree_view_get_background_area(view, path, nullptr, &area);
    gtk_tree_path_free(path);
    int x = 0, y = 0;
    gtk_tree_view_convert_bin_window_to_widget_coords(view, area.x, area.y, &x, &y);
    int cx = x, cy = y;
    gtk_widget_translate_coordinates(GTK_WIDGET(view), m_window->GetHandle(), x, y, &cx, &cy);
    const wxPoint origin = m_window->GetClientAreaOrigin();
    const int width = area.width > 0 ? area.width : gtk_widget_get_allocated_width(GTK_WIDGET(view));
    return {cx - origin.x, cy - origin.y, width, area.height};
}

int InputList::ColumnWidth(int column) const {
    // The width given; the tree view may draw its last column wider, to its right edge.
    GtkWidget* handle = List(m_window)->GetColumn(static_cast<unsigned>(column))->GetGtkHandle();
    return gtk_tree_view_column_get_fixed_width(GTK_TREE_VIEW_COLUMN(handle));
}

wxString InputList::ColumnHeading(int column) const {
    return List(m_window)->GetColumn(static_cast<unsigned>(column))->GetTitle();
}

void InputList::PublishTip(int row) {
    // The tree view's accessible table makes a cell's object when asked and keeps it while
    // its row lives; the description stays with it.
    AtkObject* table = gtk_widget_get_accessible(List(m_window)->GtkGetTreeView());
    if (table == nullptr || !ATK_IS_TABLE(table)) return;
    AtkObject* cell = atk_table_ref_at(ATK_TABLE(table), static_cast<gint>(row), 1);
    if (cell == nullptr) return;
    atk_object_set_description(cell, Tip(row).utf8_str());
    g_object_unref(cell);
}

}  // namespace platform
