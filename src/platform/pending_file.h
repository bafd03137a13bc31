#pragma once
// A file written where nothing can see or lose it until it is complete, then put at its
// final name in one step. On POSIX it is a file without a name in the target's folder
// (O_TMPFILE), or a hidden temporary name there where the file system cannot do that; on
// Windows a hidden temporary name there, always short enough for the folder's name limit.
// Commit() replaces what stood at the final name when the file was made (a symbolic link
// is replaced, never followed), and nothing else: the entry there must still be that one
// (same device and inode, or the same Windows file ID). A file that took the name since
// then, another copy's finished output for one, is kept, and this one goes to a free name
// beside it. Without Commit() nothing is left behind
// and the file at the final name stays as it was.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"

namespace platform {

class PendingFile {
public:
    explicit PendingFile(std::string path);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Why the file could not be made, "" when it was: "it is not a file" when what stands
    // at the path is neither a file nor a link, else the system's reason (a name longer
    // than the folder takes is refused here, before anything is written).
    const std::string& Problem() const { return problem_; }

    // Whether something stood at the final name when the file was made.
    bool ReplacesExisting() const { return replaces_; }

    // Writes all of `data`: the count, or a negative error number (-errno).
    int Write(const std::uint8_t* data, int size);
    // Moves the write position as lseek does (SEEK_SET, SEEK_CUR, SEEK_END): the new
    // position, or a negative error number.
    std::int64_t Seek(std::int64_t offset, int whence);
    // The file's size so far, or a negative error number.
    std::int64_t Size();

    // Flushes the data to the disk and gives the file its final name: "" when done, else
    // the system's reason (nothing is left behind then).
    std::string Commit();
    // Where Commit() put the file: the final name, or "NAME (2).EXT" (3, 4, ...) beside it
    // when a file that was not there at the start took the final name meanwhile (one that
    // replaced the file standing there at the start included).
    const std::string& CommittedPath() const { return committedPath_; }

private:
    std::string path_;
    std::string dir_;
    std::string tempName_;     // the hidden name, while the file has one
    std::intptr_t file_ = -1;  // the descriptor (POSIX) or handle (Windows); owned
    bool committed_ = false;
    bool replaces_ = false;
    FileIdentity replaced_;  // what stood at the final name when the file was made
    std::size_t nameLimit_ = 255;  // the folder's longest name, in its own units
    std::string committedPath_;
    std::string problem_;
};

}  // namespace platform
