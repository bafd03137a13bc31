#include "platform/files.h"

#include "platform/pending_names.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <dirent.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::FILE* OpenStdioFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

std::FILE* OpenStdioFileNoFollow(const std::string& path, const char* mode) {
    const int how = std::strchr(mode, 'a') != nullptr ? O_APPEND : O_TRUNC;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | how, 0666);
    if (fd < 0) return nullptr;
    std::FILE* file = ::fdopen(fd, mode);
    if (file == nullptr) ::close(fd);
    return file;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

bool SameExistingFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool IdentityAt(const std::string& path, FileIdentity& identity) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return false;
    identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

bool PathTaken(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string ReadRegularFile(const std::string& path, std::size_t limit, std::string& text) {
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    const std::string tooLarge = "it is larger than " + std::to_string(limit) + " bytes";
    std::string problem;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        problem = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        problem = "it is not a regular file";
    } else if (static_cast<std::uint64_t>(st.st_size) > limit) {
        problem = tooLarge;
    }
    // Read up to one byte past the limit: files under /proc say 0 and may hold more.
    char buffer[4096];
    while (problem.empty()) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            problem = std::strerror(errno);
        } else if (text.size() + static_cast<std::size_t>(n) > limit) {
            problem = tooLarge;
        } else {
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    if (!problem.empty()) text.clear();
    return problem;
}

std::string InputProblem(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return S_ISREG(st.st_mode) || S_ISBLK(st.st_mode) ? std::string() : "it is not a file";
}

bool ProcessRuns(unsigned long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

void RemoveLeftPartFiles(const std::string& dir) {
    DIR* folder = ::opendir(dir.c_str());
    if (folder == nullptr) return;
    while (const dirent* entry = ::readdir(folder)) {
        const unsigned long pid = HiddenPartOwner(entry->d_name);
        if (pid == 0 || ProcessRuns(pid)) continue;
        const std::string path = dir + "/" + entry->d_name;
        // The writer holds a lock on it: one of another process-id namespace may still run.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {}, named{};
        // A read lease is granted only while no one has the file open for writing (any
        // process, whether it locks or not); it is held until the name is gone, and the
        // name must still be the file examined. Where leases are not supported nothing
        // is removed.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
            if (::lstat(path.c_str(), &named) == 0 && named.st_dev == st.st_dev && named.st_ino == st.st_ino) {
                ::unlink(path.c_str());
            }
            (void)::fcntl(fd, F_SETLEASE, F_UNLCK);
        }
        ::close(fd);
    }
    ::closedir(folder);
}

std::string FolderProblem(const std::string& dir) {
    struct stat st {};
    if (dir.empty() || ::stat(dir.c_str(), &st) != 0) return "不存在";
    if (!S_ISDIR(st.st_mode)) return "不是文件夹";
    if (::access(dir.c_str(), W_OK | X_OK) != 0) return "不能写入";
    return {};
}

}  // namespace platform
