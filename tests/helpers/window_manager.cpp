#include "window_manager.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <wx/window.h>

namespace guitest {

void SendCloseRequest(wxWindow* window) {
    GdkWindow* gdkWindow = gtk_widget_get_window(window->GetHandle());
    Display* display = GDK_WINDOW_XDISPLAY(gdkWindow);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = GDK_WINDOW_XID(gdkWindow);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XSync(display, False);  // the request is waiting in the queue when this returns
}

bool Mapped(wxWindow* window) {
    GtkWidget* widget = window->GetHandle();
    return widget != nullptr && gtk_widget_get_mapped(widget);
}

wxPoint MiddleOnScreen(wxWindow* window) {
    GdkRectangle frame{};
    gdk_window_get_frame_extents(gtk_widget_get_window(window->GetHandle()), &frame);
    return {frame.x + frame.width / 2, frame.y + frame.height / 2};
}

}  // namespace guitest
