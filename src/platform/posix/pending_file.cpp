#include "platform/pending_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/pending_names.h"

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

std::string InFolder(const std::string& dir, const std::string& name) {
    return dir == "/" ? "/" + name : dir + "/" + name;
}

// Puts the named file `from` at `to` unless something stands there (EEXIST): 0 or an error number.
int MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    // A file system without that rename: a new link never replaces a name either.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST || (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)) return errno;
    // Nor links (FAT, some FUSE mounts): look, then rename; as close as such a system allows.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return EEXIST;
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

PendingFile::PendingFile(std::string path) : path_(std::move(path)), dir_(Folder(path_)) {
    struct stat st {};
    const bool exists = ::lstat(path_.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        problem_ = "it is not a file";
        return;
    }
    replaces_ = exists;
    if (exists) replaced_ = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    // A name the folder cannot hold fails now, not after the whole conversion.
    const long nameMax = ::pathconf(dir_.c_str(), _PC_NAME_MAX);
    if (nameMax > 0) nameLimit_ = static_cast<std::size_t>(nameMax);
    if (BaseName(path_).size() > nameLimit_ || path_.size() >= PATH_MAX) {
        problem_ = std::strerror(ENAMETOOLONG);
        return;
    }
    int fd = ::open(dir_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    int err = errno;
    if (fd < 0 && (err == EOPNOTSUPP || err == EISDIR || err == EINVAL)) {
        // No unnamed files here: a hidden name, removed again unless committed.
        for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
            tempName_ = InFolder(dir_, HiddenPartName(BaseName(path_), static_cast<unsigned long>(::getpid()), attempt,
                                                      nameLimit_, NameUnits::kBytes));
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
    // Held while the file is written: whoever clears away the hidden files of ended
    // copies leaves a locked one alone.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
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
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    // Only the very entry that stood there at the start is replaced: another copy that
    // was told to replace it too may have put its finished output there since.
    FileIdentity standing;
    const bool replace = replaces_ && IdentityAt(path_, standing) && standing == replaced_;
    if (tempName_.empty() && replace) {
        // Give the unnamed file a hidden name first: a link cannot replace a name.
        for (int attempt = 0; tempName_.empty() && attempt < 100; ++attempt) {
            const std::string name =
                InFolder(dir_, HiddenPartName(BaseName(path_), static_cast<unsigned long>(::getpid()), attempt,
                                              nameLimit_, NameUnits::kBytes));
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                tempName_ = name;
            } else if (errno != EEXIST) {
                return std::strerror(errno);
            }
        }
        if (tempName_.empty()) return std::strerror(EEXIST);
    }
    int err = 0;
    if (replace) {
        // The user agreed to replace the file that stood there.
        if (::rename(tempName_.c_str(), path_.c_str()) == 0) committedPath_ = path_;
        err = errno;
    } else {
        // Nothing stood there at the start, or not what stands there now: whatever took
        // the name since is someone's.
        for (int n = 1; n <= 100 && committedPath_.empty(); ++n) {
            const std::string target =
                n == 1 ? path_ : InFolder(dir_, NumberedName(BaseName(path_), n, nameLimit_, NameUnits::kBytes));
            if (tempName_.empty()) {
                err = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
            } else {
                err = MoveWithoutReplacing(tempName_, target);
            }
            if (err == 0) committedPath_ = target;
            if (err != EEXIST) break;
        }
    }
    if (committedPath_.empty()) {
        if (!tempName_.empty()) ::unlink(tempName_.c_str());
        tempName_.clear();
        return std::strerror(err);
    }
    committed_ = true;
    return {};
}

}  // namespace platform
