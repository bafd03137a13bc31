#pragma once
// The toolkit's side of starting the window: whether there is a display to open it on,
// the look of the controls, and the keyboard of a dialog without a control to take it.

class wxString;
class wxWindow;

namespace platform {

// Whether the window can be opened: on Linux an X11 or Wayland display is named in the
// environment; on Windows there always is one.
bool DisplayAvailable();

// Runs the application (the wxApp the program set up) with the program's arguments: as
// main() got them on Linux; on Windows taken from the process's UTF-16 command line, so
// that every character of a file name handed to the program arrives.
int RunApplication(int argc, char** argv);

// Keeps the controls to the rows the dialog template gives them. GTK's default theme
// makes drop-down lists and buttons taller, so their padding is tightened, and dims the
// input list's headings, which are drawn in the text colour; the Win32 controls already
// have the template's sizes and look.
void ApplyCompactControlStyle();

// Gives the keyboard to a shown dialog itself, for one in which nothing can take it (its
// only control hidden), so that Esc and Enter reach the dialog's key handler. GTK would
// otherwise leave the keys with no widget at all; Win32 dialogs take them already.
void FocusDialogItself(wxWindow* dialog);

// Tells screen readers that a self-drawn window is a push button with the given name. GTK
// would show it as a plain panel; on Windows the window stays as wxWidgets makes it.
void ShowAsPushButton(wxWindow* window, const wxString& name);

}  // namespace platform
