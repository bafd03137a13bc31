#include "platform/files.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <thread>

#include "platform/pending_names.h"
#include "platform/win32/wide.h"

namespace platform {

using win32::Widen;

std::FILE* OpenStdioFile(const std::string& path, const char* mode) {
    return ::_wfopen(Widen(path).c_str(), Widen(mode).c_str());
}

std::FILE* OpenStdioFileNoFollow(const std::string& path, const char* mode) {
    const bool append = std::strchr(mode, 'a') != nullptr;
    // The reparse point itself is opened, never what it leads to, and then refused.
    win32::UniqueHandle file =
        win32::Own(::CreateFileW(Widen(path).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        return nullptr;
    }
    if (!append && !::SetEndOfFile(file.get())) return nullptr;
    const int fd = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(file.get()), append ? _O_APPEND : 0);
    if (fd < 0) return nullptr;
    file.release();  // the descriptor owns it now
    std::FILE* stream = ::_fdopen(fd, mode);
    if (stream == nullptr) ::_close(fd);
    return stream;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    const std::wstring source = Widen(from), target = Widen(to);
    // A reader that has the target open for a moment (the window reading the progress)
    // holds the replacement back briefly: try again for a little while.
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
        const DWORD error = ::GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileW(Widen(path).c_str()) != 0; }

namespace {

// The identity of an existing file or folder: its volume and its index there.
bool Identify(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const win32::UniqueHandle file =
        win32::Own(::CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && ::GetFileInformationByHandle(file.get(), &info);
}

}  // namespace

bool SameExistingFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION ia{}, ib{};
    return Identify(a, ia) && Identify(b, ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool IdentityAt(const std::string& path, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info{};
    const win32::UniqueHandle file = win32::Own(::CreateFileW(
        Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) return false;
    identity = {info.dwVolumeSerialNumber,
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    return true;
}

bool PathTaken(const std::string& path) { return ::GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadRegularFile(const std::string& path, std::size_t limit, std::string& text) {
    text.clear();
    const win32::UniqueHandle file = win32::Own(::CreateFileW(Widen(path).c_str(), GENERIC_READ,
                                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return win32::SystemMessage(::GetLastError());
    // A pipe or a console would make the reader wait: only a file on a disk is read.
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return "it is not a regular file";
    const std::string tooLarge = "it is larger than " + std::to_string(limit) + " bytes";
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) return win32::SystemMessage(::GetLastError());
    if (static_cast<std::uint64_t>(size.QuadPart) > limit) return tooLarge;
    char buffer[4096];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr)) {
            text.clear();
            return win32::SystemMessage(::GetLastError());
        }
        if (n == 0) return {};
        if (text.size() + n > limit) {
            text.clear();
            return tooLarge;
        }
        text.append(buffer, n);
    }
}

std::string InputProblem(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return {};
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "it is not a file";
    // A named pipe (\\.\pipe\...) or a console: whatever is not a file on a disk.
    const win32::UniqueHandle file =
        win32::Own(::CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && ::GetFileType(file.get()) != FILE_TYPE_DISK) return "it is not a file";
    return {};
}

bool ProcessRuns(unsigned long pid) {
    const win32::UniqueHandle process = win32::Own(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return ::GetLastError() != ERROR_INVALID_PARAMETER;  // no such process
    DWORD code = 0;
    return !::GetExitCodeProcess(process.get(), &code) || code == STILL_ACTIVE;
}

void RemoveLeftPartFiles(const std::string& dir) {
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileW(Widen(dir + "\\.*.part").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = win32::Narrow(found.cFileName);
        const unsigned long pid = HiddenPartOwner(name);
        // A file its writer still has open cannot be deleted.
        if (pid != 0 && !ProcessRuns(pid)) ::DeleteFileW(Widen(dir + "\\" + name).c_str());
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
}

std::string FolderProblem(const std::string& dir) {
    const DWORD attributes = dir.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(Widen(dir).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return "不存在";
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return "不是文件夹";
    // A folder's read-only mark says nothing about writing in it: only a try tells. The
    // file is hidden and goes again when its handle closes.
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string probe =
            dir + "\\.tolvani-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt) + ".tmp";
        const win32::UniqueHandle file = win32::Own(
            ::CreateFileW(Widen(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        if (file) return {};
        if (::GetLastError() != ERROR_FILE_EXISTS) return "不能写入";
    }
    return "不能写入";
}

}  // namespace platform
