#include "platform/toolkit.h"

#include <cstdlib>
#include <gtk/gtk.h>
#include <wx/init.h>
#include <wx/window.h>

namespace platform {

bool DisplayAvailable() { return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr; }

int RunApplication(int argc, char** argv) { return wxEntry(argc, argv); }

void ApplyCompactControlStyle() {
    static const char kCss[] =
        "combobox button.combo { padding-top: 1px; padding-bottom: 1px; min-height: 20px; }\n"
        "button { padding-top: 1px; padding-bottom: 1px; min-height: 20px; }\n"
        "entry { padding-top: 1px; padding-bottom: 1px; min-height: 20px; }\n"
        // The input list's headings in the text colour, as the list view draws them (the
        // theme dims a tree view's headings).
        "treeview.view header button { color: @theme_text_color; }\n";
    GdkScreen* screen = gdk_screen_get_default();
    if (screen == nullptr) return;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);  // the screen keeps its own reference
}

void FocusDialogItself(wxWindow* dialog) {
    // The dialog's client area becomes a widget that takes the focus; the keys then come
    // to the dialog as they would to a focused control.
    GtkWidget* client = dialog->m_wxwindow != nullptr ? dialog->m_wxwindow : dialog->GetHandle();
    gtk_widget_set_can_focus(client, TRUE);
    gtk_widget_grab_focus(client);
}

void ShowAsPushButton(wxWindow* window, const wxString& name) {
    GtkWidget* widget = window->m_wxwindow != nullptr ? window->m_wxwindow : window->GetHandle();
    AtkObject* accessible = gtk_widget_get_accessible(widget);
    if (accessible == nullptr) return;
    atk_object_set_role(accessible, ATK_ROLE_PUSH_BUTTON);
    atk_object_set_name(accessible, name.utf8_str());
}

}  // namespace platform
