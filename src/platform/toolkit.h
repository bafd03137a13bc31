#pragma once
// The toolkit's side of starting the window: whether there is a display to open it on,
// the look of the controls, and the keyboard of a dialog without a control to take it.

class wxString;
class wxWindow;

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Whether the window can be opened: on Linux an X11 or Wayland display is named in the
// environment; on Windows there always is one.
bool DisplayAvailable();

// The file names the program was started with: every argument after the program's name,
// except a first "--" (the program has no options, so that only marks the end of them).
// On Linux the exact bytes main() got, whatever their encoding; on Windows taken from the
// process's UTF-16 command line as UTF-8, so that every character of a name arrives.
std::vector<std::string> FileArguments(int argc, char** argv);

// Runs the application (the wxApp the program set up). The toolkit sees the program's name
// alone: none of its own options (GTK's --display, --name, ...) can take a file name.
int RunApplication(int argc, char** argv);

// While it lives, a request from outside to end the program (on Linux SIGTERM, SIGINT or
// SIGHUP) calls `onRequest` on the user-interface thread with the request's name
// ("SIGTERM"). On Windows the system's own requests reach the window as a close.
class EndRequestWatch {
public:
    explicit EndRequestWatch(std::function<void(const std::string&)> onRequest);
    ~EndRequestWatch();
    EndRequestWatch(const EndRequestWatch&) = delete;
    EndRequestWatch& operator=(const EndRequestWatch&) = delete;

private:
    std::function<void(const std::string&)> m_onRequest;
    std::vector<unsigned> m_sources;  // the toolkit's watches
};

// Answers every message box and dialog of the toolkit's own that is open (as its close
// button would), so that a program asked to end is not held by a question nobody sees.
void DismissOpenBoxes();

// Keeps the controls to the rows the dialog template gives them. GTK's default theme
// makes drop-down lists and buttons taller, so their padding is tightened, and dims the
// input list's headings, which are drawn in the text colour; the Win32 controls already
// have the template's sizes and look.
void ApplyCompactControlStyle();

// Keeps screen readers from crashing the program (GTK 3.24 with at-spi2-atk 2.56, Debian
// 13; on Windows there is nothing to mend):
//  - GTK's accessible labels, buttons and entries report no states at all once their
//    widget is gone (a dialog that has closed), and the accessibility bridge, which may
//    still hold them, reads those states without checking; they report "defunct"
//    instead, as GTK's other accessibles do;
//  - the bridge stops listening to the keys when the last screen reader leaves, and may
//    learn that while it is handed a key; GTK's walk over the key listeners then steps on
//    the one just removed. A listener removed while a key is handled goes once the key is.
void MendAccessibility();

// Gives the keyboard to a shown dialog itself, for one in which nothing can take it (its
// only control hidden), so that Esc and Enter reach the dialog's key handler. GTK would
// otherwise leave the keys with no widget at all; Win32 dialogs take them already.
void FocusDialogItself(wxWindow* dialog);

// Tells screen readers that a self-drawn window is a push button with the given name. GTK
// would show it as a plain panel; on Windows the window stays as wxWidgets makes it.
void ShowAsPushButton(wxWindow* window, const wxString& name);

}  // namespace platform
