#include "output_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "vv_options.h"

namespace vv {
namespace {

constexpr int kBufferSize = 1 << 16;

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

OutputFile::OutputFile(std::string path) : path_(std::move(path)), dir_(Folder(path_)) {
    struct stat st {};
    const bool exists = ::lstat(path_.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        throw VvError("cannot write " + path_ + ": it is not a file");
    }
    fd_ = ::open(dir_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    int err = errno;
    if (fd_ < 0 && (err == EOPNOTSUPP || err == EISDIR || err == EINVAL)) {
        // No unnamed files here: a hidden name, removed again unless committed.
        for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
            tempName_ = HiddenName(dir_, path_, attempt);
            fd_ = ::open(tempName_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0666);
            err = errno;
            if (fd_ < 0 && err != EEXIST) break;
        }
        if (fd_ < 0) tempName_.clear();
    }
    if (fd_ < 0) Fail("cannot write " + path_, err);
    // A file replaced keeps its permissions.
    if (exists && S_ISREG(st.st_mode)) (void)::fchmod(fd_, st.st_mode & 07777);

    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
    if (buffer == nullptr) throw VvError("out of memory");
    io_.reset(avio_alloc_context(buffer, kBufferSize, 1, this, nullptr, &OutputFile::Write, &OutputFile::Seek));
    if (!io_) {
        av_free(buffer);
        throw VvError("out of memory");
    }
}

OutputFile::~OutputFile() {
    io_.reset();
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !tempName_.empty()) ::unlink(tempName_.c_str());
}

void OutputFile::Fail(const std::string& why, int err) const { throw VvError(why + ": " + std::strerror(err)); }

int OutputFile::Write(void* opaque, std::uint8_t* buf, int size) {
    auto* self = static_cast<OutputFile*>(opaque);
    int done = 0;
    while (done < size) {
        const ssize_t n = ::write(self->fd_, buf + done, static_cast<std::size_t>(size - done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return AVERROR(errno);
        }
        done += static_cast<int>(n);
    }
    return done;
}

std::int64_t OutputFile::Seek(void* opaque, std::int64_t offset, int whence) {
    auto* self = static_cast<OutputFile*>(opaque);
    if (whence == AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(self->fd_, &st) == 0 ? st.st_size : AVERROR(errno);
    }
    const off_t pos = ::lseek(self->fd_, offset, whence & ~AVSEEK_FORCE);
    return pos < 0 ? AVERROR(errno) : pos;
}

void OutputFile::Commit() {
    avio_flush(io_.get());
    if (io_->error < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(io_->error, text, sizeof text);
        throw VvError("cannot write " + path_ + ": " + text);
    }
    if (::fdatasync(fd_) != 0 && errno != EINVAL) Fail("cannot write " + path_, errno);
    if (tempName_.empty()) {
        // Give the unnamed file a hidden name first: a link cannot replace a name.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        for (int attempt = 0; tempName_.empty() && attempt < 100; ++attempt) {
            const std::string name = HiddenName(dir_, path_, attempt);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                tempName_ = name;
            } else if (errno != EEXIST) {
                Fail("cannot write " + path_, errno);
            }
        }
        if (tempName_.empty()) Fail("cannot write " + path_, EEXIST);
    }
    if (::rename(tempName_.c_str(), path_.c_str()) != 0) {
        const int err = errno;
        ::unlink(tempName_.c_str());
        tempName_.clear();
        Fail("cannot write " + path_, err);
    }
    committed_ = true;
}

}  // namespace vv
