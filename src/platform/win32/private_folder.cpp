#include "platform/private_folder.h"

#include <cwchar>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/files.h"

#include "platform/utf8_path.h"
#include "platform/win32/wide.h"

namespace platform {

namespace {

// The process id in "tolvani-<pid>-<n>", the name form these folders have; 0 for any other.
unsigned long FolderOwner(const std::wstring& name) {
    if (name.rfind(L"tolvani-", 0) != 0) return 0;
    wchar_t* end = nullptr;
    const unsigned long pid = std::wcstoul(name.c_str() + 8, &end, 10);
    if (end == name.c_str() + 8 || *end != L'-' || end[1] == L'\0') return 0;
    for (const wchar_t* c = end + 1; *c != L'\0'; ++c) {
        if (*c < L'0' || *c > L'9') return 0;
    }
    return pid;
}

// The names in a folder when it holds only plain files that Tolvani puts there (no
// folders, no links or other reparse points); nothing otherwise.
std::optional<std::vector<std::wstring>> OnlyOurFiles(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    bool ours = true;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        ours = ours && (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
               IsPrivateFolderEntry(win32::Narrow(name));
        names.push_back(name);
    } while (ours && ::FindNextFileW(search, &found));
    ::FindClose(search);
    if (!ours) return std::nullopt;
    return names;
}

// Removes the folders of copies that no longer run, by proof and not by name: of the
// name form these folders have, not a link, holding only Tolvani's files.
void RemoveAbandonedFolders(const std::wstring& base) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW((base + L"tolvani-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            continue;
        const std::wstring name = found.cFileName;
        const unsigned long pid = FolderOwner(name);
        if (pid == 0 || ProcessRuns(pid)) continue;
        const std::wstring folder = base + name;
        const auto files = OnlyOurFiles(folder);
        if (!files) continue;
        for (const std::wstring& f : *files) ::DeleteFileW((folder + L"\\" + f).c_str());
        ::RemoveDirectoryW(folder.c_str());  // stays if anything came in since
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
