#pragma once
// The Windows layer's own helpers: UTF-8 inside the program, UTF-16 at every Windows
// call, owned handles, and the system's text for an error number.
#include <memory>
#include <string>
#include <string_view>
#include <windows.h>

namespace platform::win32 {

// UTF-8 to UTF-16 and back; invalid sequences become U+FFFD.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// The system's text for an error number (GetLastError's), on one line.
std::string SystemMessage(DWORD error);

// An owned kernel handle, closed when it goes.
struct HandleCloser {
    void operator()(HANDLE handle) const { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Takes ownership of a handle as the system returned it: both of the system's "no
// handle" values (null, INVALID_HANDLE_VALUE) become an empty UniqueHandle.
inline UniqueHandle Own(HANDLE handle) { return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle); }

}  // namespace platform::win32
