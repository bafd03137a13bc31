#include "platform/app_path.h"

#include <vector>

#include "platform/win32/wide.h"

namespace platform {

const char kPathSeparator = '\\';

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

std::string ExecutablePath() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) return win32::Narrow(std::wstring_view(buf.data(), n));
        buf.resize(buf.size() * 2);  // cut at the buffer's end: grow, never cut
    }
}

}  // namespace platform
