#include "platform/pending_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::string Folder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A hidden name beside the output, unique for this process.
std::string HiddenName(const std::string& dir, const std::string& path, int attempt) {
    return dir + "/." + BaseName(path) + ".vv-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".part";
}

}  // namespace

PendingFile::PendingFile(std::string path) : path_(std::move(path)), dir_(Folder(path_)) {
    struct stat st {};
    const bool exists = ::lstat(path_.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        problem_ = "it is not a file";
        return;
    }
    int fd = ::open(dir_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    int err = errno;
    if (fd < 0 && (err == EOPNOTSUPP || err == EISDIR || err == EINVAL)) {
        // No unnamed files here: a hidden name, removed again unless committed.
        for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
            tempName_ = HiddenName(dir_, path_, attempt);
            fd = ::open(tempName_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0666);
            err = errno;
            if (fd < 0 && err != EEXIST) break;
        }
        if (fd < 0) tempName_.clear();
    }
    if (fd < 0) {
        problem_ = std::strerror(err);
        return;
    }
    file_ = fd;
    // A file replaced keeps its permissions.
    if (exists && S_ISREG(st.st_mode)) (void)::fchmod(fd, st.st_mode & 07777);
}

PendingFile::~PendingFile() {
    if (file_ >= 0) ::close(static_cast<int>(file_));
    if (!committed_ && !tempName_.empty()) ::unlink(tempName_.c_str());
}

int PendingFile::Write(const std::uint8_t* data, int size) {
    int done = 0;
    while (done < size) {
        const ssize_t n = ::write(static_cast<int>(file_), data + done, static_cast<std::size_t>(size - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -errno;
        }
        done += static_cast<int>(n);
    }
    return done;
}

std::int64_t PendingFile::Seek(std::int64_t offset, int whence) {
    const off_t pos = ::lseek(static_cast<int>(file_), offset, whence);
    return pos < 0 ? -errno : pos;
}

std::int64_t PendingFile::Size() {
    struct stat st {};
    return ::fstat(static_cast<int>(file_), &st) == 0 ? st.st_size : -errno;
}

std::string PendingFile::Commit() {
    const int fd = static_cast<int>(file_);
    if (::fdatasync(fd) != 0 && errno != EINVAL) return std::strerror(errno);
    if (tempName_.empty()) {
        // Give the unnamed file a hidden name first: a link cannot replace a name.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        for (int attempt = 0; tempName_.empty() && attempt < 100; ++attempt) {
            const std::string name = HiddenName(dir_, path_, attempt);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                tempName_ = name;
            } else if (errno != EEXIST) {
                return std::strerror(errno);
            }
        }
        if (tempName_.empty()) return std::strerror(EEXIST);
    }
    if (::rename(tempName_.c_str(), path_.c_str()) != 0) {
        const int err = errno;
        ::unlink(tempName_.c_str());
        tempName_.clear();
        return std::strerror(err);
    }
    committed_ = true;
    return {};
}

}  // namespace platform
