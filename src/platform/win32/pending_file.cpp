#include "platform/pending_file.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/pending_names.h"
#include "platform/win32/wide.h"

namespace platform {
namespace {

using win32::Widen;

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

std::string Folder(const std::string& path) {
    const auto sep = LastSeparator(path);
    return sep == std::string::npos ? "." : path.substr(0, sep);
}

std::string BaseName(const std::string& path) {
    const auto sep = LastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

// The longest name the folder's volume takes, in UTF-16 units.
std::size_t NameLimit(const std::string& dir) {
    wchar_t root[MAX_PATH + 1] = {};
    DWORD longest = 0;
    if (::GetVolumePathNameW(Widen(dir).c_str(), root, MAX_PATH + 1) &&
        ::GetVolumeInformationW(root, nullptr, 0, nullptr, &longest, nullptr, nullptr, 0) && longest > 0) {
        return longest;
    }
    return 255;
}

HANDLE Handle(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

// The error number the muxer understands for the last failure.
int LastErrno() { return ::GetLastError() == ERROR_DISK_FULL ? ENOSPC : EIO; }

}  // namespace

PendingFile::PendingFile(std::string path) : path_(std::move(path)), dir_(Folder(path_)) {
    const DWORD attributes = ::GetFileAttributesW(Widen(path_).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        problem_ = "it is not a file";
        return;
    }
    replaces_ = attributes != INVALID_FILE_ATTRIBUTES && IdentityAt(path_, replaced_);
    // A name the folder cannot hold fails now, not after the whole conversion.
    nameLimit_ = NameLimit(dir_);
    if (NameLength(BaseName(path_), NameUnits::kUtf16) > nameLimit_) {
        problem_ = win32::SystemMessage(ERROR_FILENAME_EXCED_RANGE);
        return;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName_ = dir_ + "\\" +
                    HiddenPartName(BaseName(path_), ::GetCurrentProcessId(), attempt, nameLimit_, NameUnits::kUtf16);
        const HANDLE file = ::CreateFileW(Widen(tempName_).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            file_ = reinterpret_cast<std::intptr_t>(file);
            return;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    problem_ = win32::SystemMessage(::GetLastError());
    tempName_.clear();
}

PendingFile::~PendingFile() {
    if (file_ != -1) ::CloseHandle(Handle(file_));
    if (!committed_ && !tempName_.empty()) ::DeleteFileW(Widen(tempName_).c_str());
}

int PendingFile::Write(const std::uint8_t* data, int size) {
    int done = 0;
    while (done < size) {
        DWORD n = 0;
        if (!::WriteFile(Handle(file_), data + done, static_cast<DWORD>(size - done), &n, nullptr)) return -LastErrno();
        done += static_cast<int>(n);
    }
    return done;
}

std::int64_t PendingFile::Seek(std::int64_t offset, int whence) {
    const DWORD method = whence == SEEK_CUR ? FILE_CURRENT : whence == SEEK_END ? FILE_END : FILE_BEGIN;
    LARGE_INTEGER distance{}, position{};
    distance.QuadPart = offset;
    if (!::SetFilePointerEx(Handle(file_), distance, &position, method)) return -EINVAL;
    return position.QuadPart;
}

std::int64_t PendingFile::Size() {
    LARGE_INTEGER size{};
    return ::GetFileSizeEx(Handle(file_), &size) ? size.QuadPart : -LastErrno();
}

std::string PendingFile::Commit() {
    if (!::FlushFileBuffers(Handle(file_))) return win32::SystemMessage(::GetLastError());
    ::CloseHandle(Handle(file_));
    file_ = -1;
    const std::wstring temp = Widen(tempName_);
    ::SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);  // the output itself is not hidden
    DWORD error = ERROR_SUCCESS;
    // Only the very file that stood there at the start is replaced: another copy that was
    // told to replace it too may have put its finished output there since.
    FileIdentity standing;
    if (replaces_ && IdentityAt(path_, standing) && standing == replaced_) {
        // The user agreed to replace the file that stood there. A reader that has it open
        // for a moment holds the replacement back briefly: try again for a little while.
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (::MoveFileExW(temp.c_str(), Widen(path_).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
                committed_ = true;
                committedPath_ = path_;
                return {};
            }
            error = ::GetLastError();
            if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    } else {
        // Nothing stood there at the start, or not what stands there now: whatever took
        // the name since is someone's.
        for (int n = 1; n <= 100; ++n) {
            const std::string target =
                n == 1 ? path_ : dir_ + "\\" + NumberedName(BaseName(path_), n, nameLimit_, NameUnits::kUtf16);
            if (::MoveFileExW(temp.c_str(), Widen(target).c_str(), MOVEFILE_WRITE_THROUGH)) {
                committed_ = true;
                committedPath_ = target;
                return {};
            }
            error = ::GetLastError();
            if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
        }
    }
    ::DeleteFileW(temp.c_str());
    tempName_.clear();
    return win32::SystemMessage(error);
}

}  // namespace platform
