#include "platform/private_folder.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr const char* kLockName = ".owner";  // locked for as long as its copy runs

// Whether a process of that id runs (in this process-id namespace).
bool Runs(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

// The process id in "tolvani-<pid>" or "tolvani-<pid>-XXXXXX"; 0 for any other name.
long FolderOwner(const std::string& name) {
    constexpr std::string_view kPrefix = "tolvani-";
    if (!name.starts_with(kPrefix)) return 0;
    std::size_t i = kPrefix.size();
    long pid = 0;
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && pid < 1'000'000'000; ++i)
        pid = pid * 10 + (name[i] - '0');
    if (i == kPrefix.size() || (i < name.size() && name[i] != '-')) return 0;
    return pid;
}

// Whether the copy that made the folder has ended: its lock is free, or, for a folder
// without one, its process is gone.
bool Abandoned(const std::string& folder, long pid) {
    const int fd = ::open((folder + "/" + kLockName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT && !Runs(pid);
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

// Removes the progress folders of copies that ended without removing their own (killed,
// or the machine went down): only the user's own folders of that name.
void RemoveAbandonedFolders(const std::string& base) {
    DIR* dir = ::opendir(base.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const long pid = FolderOwner(name);
        if (pid == 0) continue;
        const std::string folder = base + "/" + name;
        struct stat st {};
        if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) continue;
        if (!Abandoned(folder, pid)) continue;
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    ::closedir(dir);
}

}  // namespace

PrivateFolder::PrivateFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string base;
    if (runtime != nullptr && *runtime == '/') {
        base = runtime;
    } else {
        std::error_code ec;
        base = std::filesystem::temp_directory_path(ec).string();
        if (ec) base = "/tmp";
    }
    RemoveAbandonedFolders(base);
    // A fresh name (readable by the user alone): the process id alone can be another
    // copy's in another process-id namespace.
    std::string pattern = base + "/tolvani-" + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return;
    m_path = pattern;
    const int fd = ::open((m_path + "/" + kLockName).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        m_lock = fd;
    } else if (fd >= 0) {
        ::close(fd);
    }
}

PrivateFolder::~PrivateFolder() {
    if (m_lock >= 0) ::close(static_cast<int>(m_lock));
    if (m_path.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);  // what cannot be removed stays: nothing to report on exit
}

}  // namespace platform
