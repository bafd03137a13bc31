#pragma once
// A folder that belongs to this running copy of the program alone: the progress file of
// the running conversion lives there, so that copies running side by side, or a program
// folder nobody may write, never mix up their progress.
#include <string>

namespace platform {

class PrivateFolder {
public:
    // Makes the folder (readable by the user alone): on POSIX $XDG_RUNTIME_DIR/tolvani-<pid>,
    // or a fresh one in the temporary folder when that variable is unset; on Windows a fresh
    // tolvani-<pid>-<n> in the user's temporary folder. Path() is empty when none can be made.
    PrivateFolder();
    // Removes the folder and what is in it.
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

}  // namespace platform
