#pragma once
// Files by their UTF-8 names. On POSIX the names go to the system as they are; on Windows
// they are handed over as UTF-16, so that every name the user can give (Chinese ones too)
// reaches the right file.
// Paths for the standard library's file functions come from platform/utf8_path.h.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/utf8_path.h"

namespace platform {

// std::fopen by a UTF-8 name.
std::FILE* OpenStdioFile(const std::string& path, const char* mode);

// std::fopen by a UTF-8 name for writing ("wb", truncated) or appending ("ab"), made when
// missing; a symbolic link (on Windows any reparse point) at the path is refused, never
// written through. Null when the file cannot be opened so.
std::FILE* OpenStdioFileNoFollow(const std::string& path, const char* mode);

// Renames `from` to `to`, replacing a file that stands at `to` in the same step. False
// when it could not (`from` is then left as it was).
bool RenameReplacing(const std::string& from, const std::string& to);

// Removes a file; false when it could not.
bool RemoveFile(const std::string& path);

// Whether both paths name one existing file: the same device and inode on POSIX, the same
// volume serial number and file index on Windows.
bool SameExistingFile(const std::string& a, const std::string& b);

// Which entry stands at a name: the device and inode on POSIX, the volume serial number
// and file index on Windows.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of what stands at the path, a symbolic link itself rather than what it
// leads to (on Windows any reparse point); false when nothing stands there.
bool IdentityAt(const std::string& path, FileIdentity& identity);

// Whether anything stands at the path. A symbolic link is not followed: one that leads
// nowhere still takes the name.
bool PathTaken(const std::string& path);

// Reads a whole file of at most `limit` bytes into `text`: "" when done, else why not
// ("it is not a regular file", "it is larger than N bytes" or the system's reason). It is
// opened so that it cannot block: a FIFO or a device is refused, never waited for, and a
// file whose size says more than the limit is not read at all.
std::string ReadRegularFile(const std::string& path, std::size_t limit, std::string& text);

// Why a converter input could make its reader wait for ever, or "" when it cannot: a
// regular file or a block device (links followed) is fine, anything else (a FIFO, a
// terminal, a socket, a folder) gives "it is not a file". A name that does not exist
// gives "" too: opening it then says why.
std::string InputProblem(const std::string& path);

// Whether a process of that id runs.
bool ProcessRuns(unsigned long pid);

// Removes from a folder the hidden files vv.exe was writing (".NAME.vv-PID-N.part") when
// it was killed where it could not make its output without a name: those of processes
// that no longer run, and only when no process at all has them open for writing (on
// POSIX a read lease proves it; where the file system grants none, the file stays).
void RemoveLeftPartFiles(const std::string& dir);

// Why a folder cannot take new files, in the window's words, or "" when it can: missing
// ("不存在"), not a folder ("不是文件夹") or not writable ("不能写入").
std::string FolderProblem(const std::string& dir);

}  // namespace platform
