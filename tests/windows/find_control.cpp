// Finds a visible control of a window on the desktop by its text and prints the screen
// position of its centre ("x y"), waiting up to SECONDS for it to appear; exits with 1
// when none appears. The setup test clicks there with the X pointer, as a user would,
// and waits for the completion message the same way.
//   find_control.exe TEXT SECONDS
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
    const wchar_t* text;
    HWND found = nullptr;
};

BOOL CALLBACK VisitControl(HWND control, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t text[256] = {};
    ::GetWindowTextW(control, text, 256);
    if (::IsWindowVisible(control) && std::wcscmp(text, search->text) == 0) {
        search->found = control;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK VisitWindow(HWND window, LPARAM param) {
    if (::IsWindowVisible(window)) ::EnumChildWindows(window, VisitControl, param);
    return reinterpret_cast<Search*>(param)->found == nullptr;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 3) {
        std::fputs("usage: find_control.exe TEXT SECONDS\n", stderr);
        return 2;
    }
    const int tries = std::stoi(argv[2]) * 10;
    for (int i = 0; i < tries; ++i) {
        Search search{argv[1]};
        ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&search));
        RECT r{};
        if (search.found != nullptr && ::GetWindowRect(search.found, &r)) {
            std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
            return 0;
        }
        ::Sleep(100);
    }
    return 1;
}
