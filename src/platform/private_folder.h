#pragma once
// A folder that belongs to this running copy of the program alone: the progress file of
// the running conversion lives there, so that copies running side by side, or a program
// folder nobody may write, never mix up their progress.
#include <cstdint>
#include <string>

namespace platform {

// The progress file's name in the folder (the converter contract's progress.txt), and
// the lock held while its copy runs (POSIX).
inline constexpr const char* kPrivateProgressName = "progress.txt";
inline constexpr const char* kPrivateLockName = ".owner";

// Whether a name is one that Tolvani puts in such a folder.
bool IsPrivateFolderEntry(const std::string& name);

class PrivateFolder {
public:
    // Makes the folder (readable by the user alone): on POSIX a fresh
    // $XDG_RUNTIME_DIR/tolvani-<pid>-XXXXXX, locked for as long as this copy runs; without
    // that variable the same in $XDG_CACHE_HOME/tolvani (~/.cache/tolvani), a folder of
    // the user's own, never in a temporary folder others share. On Windows a fresh
    // tolvani-<pid>-<n> in the user's temporary folder. First it removes the folders there
    // that copies which ended left behind, by proof and not by name: a folder of this
    // name form that the user owns, readable by the user alone, whose lock is free, and
    // that holds nothing but what Tolvani puts there (the lock ".owner", the progress file
    // and vv.exe's "progress.txt.<pid>.tmp", all plain files). Nothing there is followed
    // through a link or waited for. Path() is empty when no folder can be made.
    PrivateFolder();
    // Removes the folder and what is in it.
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::intptr_t m_lock = -1;  // held while this copy runs (POSIX: a locked descriptor)
};

}  // namespace platform
