#include "platform/private_folder.h"

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// A folder of ours that a copy with the same process id left behind is taken over; anything
// else at that name (a link, another user's folder) is not.
bool MakeOwnFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    struct stat st {};
    return errno == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           ::chmod(path.c_str(), 0700) == 0;
}

}  // namespace

PrivateFolder::PrivateFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime == '/') {
        const std::string path = std::string(runtime) + "/tolvani-" + std::to_string(::getpid());
        if (MakeOwnFolder(path)) {
            m_path = path;
            return;
        }
    }
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "tolvani-XXXXXX").string();
    if (ec) pattern = "/tmp/tolvani-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) m_path = pattern;  // mkdtemp makes it 0700
}

PrivateFolder::~PrivateFolder() {
    if (m_path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);  // what cannot be removed stays: nothing to report on exit
}

}  // namespace platform
