#include "platform/private_folder.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/environment.h"

namespace platform {
namespace {

constexpr const char* kLockName = kPrivateLockName;

// A descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Whether the name has the form this program gives its folders: "tolvani-<pid>-XXXXXX".
bool FolderName(const std::string& name) {
    constexpr std::string_view kPrefix = "tolvani-";
    if (!name.starts_with(kPrefix)) return false;
    std::size_t i = kPrefix.size();
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
    return i > kPrefix.size() && i + 7 == name.size() && name[i] == '-';
}

// Whether the entry's status is one of this user's own, private to the user: a folder
// with mode 0700, or a plain file that no one else may write.
bool Private(const struct stat& st, bool folder) {
    if (st.st_uid != ::getuid()) return false;
    if (folder) return S_ISDIR(st.st_mode) && (st.st_mode & 07777) == 0700;
    return S_ISREG(st.st_mode) && (st.st_mode & 022) == 0;
}

// Removes the folder `name` in `base` if it proves abandoned (private_folder.h). The lock
// is held while its files go, so a copy that still runs is never touched.
void RemoveIfAbandoned(int base, const std::string& name) {
    Fd dir(::openat(base, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (dir.get() < 0 || ::fstat(dir.get(), &st) != 0 || !Private(st, true)) return;
    const Fd lock(::openat(dir.get(), kLockName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (lock.get() < 0 || ::fstat(lock.get(), &st) != 0 || !Private(st, false)) return;
    if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) return;  // its copy runs
    // Every entry first, so that nothing is removed from a folder that is not all ours.
    std::vector<std::string> names;
    DIR* listing = ::fdopendir(::dup(dir.get()));
    if (listing == nullptr) return;
    bool ours = true;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string n = entry->d_name;
        if (n == "." || n == "..") continue;
        struct stat es {};
        ours = ours && IsPrivateFolderEntry(n) && ::fstatat(dir.get(), n.c_str(), &es, AT_SYMLINK_NOFOLLOW) == 0 &&
               Private(es, false);
        names.push_back(n);
    }
    ::closedir(listing);
    if (!ours) return;
    for (const std::string& n : names) (void)::unlinkat(dir.get(), n.c_str(), 0);
    (void)::unlinkat(base, name.c_str(), AT_REMOVEDIR);  // fails, and stays, if anything came in since
}

void RemoveAbandonedFolders(const std::string& base) {
    const Fd folder(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC));
    if (folder.get() < 0) return;
    DIR* dir = ::fdopendir(::dup(folder.get()));
    if (dir == nullptr) return;
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        if (FolderName(entry->d_name)) candidates.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : candidates) RemoveIfAbandoned(folder.get(), name);
}

// A folder of the user's own at `path`, made (mode 0700) when missing: false when what
// stands there is anything else (a link, another user's folder, one others may write).
bool OwnFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 022) == 0;
}

// Where the folders go: $XDG_RUNTIME_DIR, else $XDG_CACHE_HOME/tolvani or
// ~/.cache/tolvani; empty when there is no such folder of the user's own.
std::string BaseFolder() {
    const std::string runtime = EnvironmentValue("XDG_RUNTIME_DIR");
    if (!runtime.empty() && runtime.front() == '/') return runtime;
    std::string cache = EnvironmentValue("XDG_CACHE_HOME");
    if (cache.empty() || cache.front() != '/') {
        const std::string home = EnvironmentValue("HOME");
        if (home.empty() || home.front() != '/') return {};
        cache = home + "/.cache";
    }
    if (::mkdir(cache.c_str(), 0700) != 0 && errno != EEXIST) return {};
    const std::string base = cache + "/tolvani";
    return OwnFolder(base) ? base : std::string();
}

}  // namespace

PrivateFolder::PrivateFolder() {
    const std::string base = BaseFolder();
    if (base.empty()) return;
    RemoveAbandonedFolders(base);
    // A fresh name (readable by the user alone): the process id alone can be another
    // copy's in another process-id namespace.
    std::string pattern = base + "/tolvani-" + std::to_string(::getpid()) + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return;
    m_path = pattern;
    Fd fd(::open((m_path + "/" + kLockName).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0) m_lock = fd.release();
}

PrivateFolder::~PrivateFolder() {
    if (m_path.empty()) return;
    // Only the files this copy and its vv.exe put there; the lock goes last.
    if (const Fd dir(::open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)); dir.get() >= 0) {
        if (DIR* listing = ::fdopendir(::dup(dir.get())); listing != nullptr) {
            std::vector<std::string> names;
            while (const dirent* entry = ::readdir(listing)) {
                if (IsPrivateFolderEntry(entry->d_name) && std::string(entry->d_name) != kLockName)
                    names.emplace_back(entry->d_name);
            }
            ::closedir(listing);
            for (const std::string& n : names) (void)::unlinkat(dir.get(), n.c_str(), 0);
        }
        (void)::unlinkat(dir.get(), kLockName, 0);
    }
    if (m_lock >= 0) ::close(static_cast<int>(m_lock));
    (void)::rmdir(m_path.c_str());  // what cannot be removed stays: nothing to report on exit
}

}  // namespace platform
