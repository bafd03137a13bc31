#include "platform/toolkit.h"

#include <algorithm>
#include <shellapi.h>
#include <wx/init.h>
#include <wx/window.h>

#include "platform/win32/wide.h"

namespace platform {

bool DisplayAvailable() { return true; }

std::vector<std::string> FileArguments(int, char**) {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::string> files;
    for (int i = 1; argv != nullptr && i < argc; ++i) files.push_back(win32::Narrow(argv[i]));
    if (argv != nullptr) ::LocalFree(argv);
    if (const auto end = std::find(files.begin(), files.end(), "--"); end != files.end()) files.erase(end);
    return files;
}

// wxMSW reads no options of its own: the application is started as it is.
int RunApplication(int, char**) { return wxEntry(); }

EndRequestWatch::EndRequestWatch(std::function<void(const std::string&)> onRequest)
    : m_onRequest(std::move(onRequest)) {}

EndRequestWatch::~EndRequestWatch() = default;

void DismissOpenBoxes() {}  // Windows asks a program to end through its windows, not around them

void ApplyCompactControlStyle() {}  // the native controls keep the template's sizes

void MendAccessibility() {}

void FocusDialogItself(wxWindow* dialog) { dialog->SetFocus(); }

void ShowAsPushButton(wxWindow*, const wxString&) {}

}  // namespace platform
