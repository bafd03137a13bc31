#include "platform/toolkit.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <glib-unix.h>
#include <utility>
#include <gtk/gtk-a11y.h>
#include <gtk/gtk.h>
#include <wx/init.h>
#include <wx/window.h>

namespace platform {

bool DisplayAvailable() { return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr; }

std::vector<std::string> FileArguments(int argc, char** argv) {
    std::vector<std::string> files(argv + std::min(argc, 1), argv + argc);
    if (const auto end = std::find(files.begin(), files.end(), "--"); end != files.end()) files.erase(end);
    return files;
}

int RunApplication(int argc, char** argv) {
    int toolkitArgc = std::min(argc, 1);
    char* toolkitArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
    return wxEntry(toolkitArgc, toolkitArgv);
}

EndRequestWatch::EndRequestWatch(std::function<void(const std::string&)> onRequest)
    : m_onRequest(std::move(onRequest)) {
    struct Request {
        int signal;
        const char* name;
    };
    static constexpr Request kRequests[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}};
    for (const Request& r : kRequests) {
        // GLib takes the signal and runs the callback from the main loop, where the window may act.
        m_sources.push_back(g_unix_signal_add_full(
            G_PRIORITY_HIGH, r.signal,
            [](gpointer data) -> gboolean {
                auto* self = static_cast<std::pair<EndRequestWatch*, const char*>*>(data);
                self->first->m_onRequest(self->second);
                return G_SOURCE_CONTINUE;
            },
            new std::pair<EndRequestWatch*, const char*>(this, r.name),
            [](gpointer data) { delete static_cast<std::pair<EndRequestWatch*, const char*>*>(data); }));
    }
}

void DismissOpenBoxes() {
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w != nullptr; w = w->next) {
        if (GTK_IS_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)) &&
            gtk_window_get_modal(GTK_WINDOW(w->data))) {
            gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_DELETE_EVENT);
        }
    }
    g_list_free(windows);
}

EndRequestWatch::~EndRequestWatch() {
    for (const unsigned id : m_sources) g_source_remove(id);
}

namespace {

using StateSetFunction = AtkStateSet* (*)(AtkObject*);

// The toolkit's own way of asking each mended kind for its states.
template <int Kind>
StateSetFunction gOwnStates = nullptr;

template <int Kind>
AtkStateSet* StatesOrDefunct(AtkObject* accessible) {
    if (AtkStateSet* states = gOwnStates<Kind>(accessible)) return states;
    AtkStateSet* defunct = atk_state_set_new();  // the caller's reference
    atk_state_set_add_state(defunct, ATK_STATE_DEFUNCT);
    return defunct;
}

template <int Kind>
void Mend(GType type) {
    // The class stays referenced for the program's life: its functions are replaced.
    auto* klass = ATK_OBJECT_CLASS(g_type_class_ref(type));
    if (gOwnStates<Kind> != nullptr || klass->ref_state_set == nullptr) return;
    gOwnStates<Kind> = klass->ref_state_set;
    klass->ref_state_set = StatesOrDefunct<Kind>;
}

// GTK's own removal of a key listener, and whether a key is being handled now.
void (*gRemoveKeyListener)(guint) = nullptr;

bool HandlingAKey() {
    GdkEvent* event = gtk_get_current_event();  // a copy, or none
    if (event == nullptr) return false;
    const GdkEventType type = gdk_event_get_event_type(event);
    gdk_event_free(event);
    return type == GDK_KEY_PRESS || type == GDK_KEY_RELEASE;
}

void RemoveKeyListenerSafely(guint listener) {
    if (!HandlingAKey()) {
        gRemoveKeyListener(listener);
        return;
    }
    g_idle_add_full(
        G_PRIORITY_HIGH_IDLE,
        [](gpointer id) -> gboolean {
            gRemoveKeyListener(GPOINTER_TO_UINT(id));
            return G_SOURCE_REMOVE;
        },
        GUINT_TO_POINTER(listener), nullptr);
}

}  // namespace

void MendAccessibility() {
    // Kinds that derive from these (toggle and check buttons, spin buttons) ask them in
    // turn, and so are mended with them.
    Mend<0>(GTK_TYPE_LABEL_ACCESSIBLE);
    Mend<1>(GTK_TYPE_BUTTON_ACCESSIBLE);
    Mend<2>(GTK_TYPE_ENTRY_ACCESSIBLE);
    // The class stays referenced for the program's life: a function of it is replaced.
    auto* util = ATK_UTIL_CLASS(g_type_class_ref(ATK_TYPE_UTIL));
    if (gRemoveKeyListener == nullptr && util->remove_key_event_listener != nullptr) {
        gRemoveKeyListener = util->remove_key_event_listener;
        util->remove_key_event_listener = RemoveKeyListenerSafely;
    }
}

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
