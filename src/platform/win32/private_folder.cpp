#include "platform/private_folder.h"

#include <cwchar>
#include <filesystem>

#include "platform/files.h"

#include "platform/utf8_path.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

// Removes the folders "tolvani-<pid>-<n>" of copies that no longer run.
void RemoveAbandonedFolders(const std::wstring& base) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((base + L"tolvani-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) continue;
        const std::wstring name = found.cFileName;
        const unsigned long pid = std::wcstoul(name.c_str() + 8, nullptr, 10);
        if (pid == 0 || ProcessRuns(pid)) continue;
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(base + name), ec);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

}  // namespace

// The user's temporary folder is the user's own: a fresh folder there, named after this
// copy, is private to it.
PrivateFolder::PrivateFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD n = ::GetTempPathW(MAX_PATH + 1, temp);
    if (n == 0 || n > MAX_PATH) return;
    RemoveAbandonedFolders(std::wstring(temp, n));
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
