#pragma once
// A folder that belongs to this running copy of the program alone: the progress file of
// the running conversion lives there, so that copies running side by side, or a program
// folder nobody may write, never mix up their progress.
#include <cstdint>
#include <string>

namespace platform {

class PrivateFolder {
public:
    // Makes the folder (readable by the user alone): on POSIX a fresh
    // $XDG_RUNTIME_DIR/tolvani-<pid>-XXXXXX (in the temporary folder when that variable is
    // unset), locked for as long as this copy runs; on Windows a fresh tolvani-<pid>-<n> in
    // the user's temporary folder. First it removes the folders there that copies which
    // no longer run left behind. Path() is empty when none can be made.
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
