#include "platform/private_folder.h"

#include <filesystem>

#include "platform/utf8_path.h"
#include "platform/win32/wide.h"

namespace platform {

// The user's temporary folder is the user's own: a fresh folder there, named after this
// copy, is private to it.
PrivateFolder::PrivateFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return;
    const std::wstring base = std::wstring(temp, n) + L"tolvani-" + std::to_wstring(::GetCurrentProcessId());
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = base + L"-" + std::to_wstring(attempt);
        if (::CreateDirectoryW(path.c_str(), nullptr)) {
            m_path = win32::Narrow(path);
            return;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return;
    }
}

PrivateFolder::~PrivateFolder() {
    if (m_path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(PathFromUtf8(m_path), ec);  // what cannot be removed stays
}

}  // namespace platform
