#include "platform/environment.h"

#include <vector>

#include "platform/win32/wide.h"

namespace platform {

std::string EnvironmentValue(const char* name) {
    const std::wstring wide = win32::Widen(name);
    std::vector<wchar_t> value(256);
    for (;;) {
        const DWORD n = ::GetEnvironmentVariableW(wide.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (n == 0) return {};
        if (n < value.size()) return win32::Narrow(std::wstring_view(value.data(), n));
        value.resize(n);  // n counts the terminator when the buffer was too small
    }
}

std::string UserStateFolder() { return EnvironmentValue("LOCALAPPDATA"); }

std::tm LocalTime(std::time_t moment) {
    std::tm local{};
    ::localtime_s(&local, &moment);
    return local;
}

}  // namespace platform
