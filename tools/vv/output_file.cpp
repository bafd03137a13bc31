#include "output_file.h"

#include <cerrno>

#include "vv_options.h"

namespace vv {
namespace {

constexpr int kBufferSize = 1 << 16;

}  // namespace

convert::ToolStatus WriteFailure(int err) {
#ifdef EDQUOT
    if (err == AVERROR(EDQUOT)) return convert::ToolStatus::kDiskFull;
#endif
    return err == AVERROR(ENOSPC) ? convert::ToolStatus::kDiskFull : convert::ToolStatus::kOutput;
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)), file_(path_) {
    if (!file_.Problem().empty()) throw VvError("cannot write " + path_ + ": " + file_.Problem(), convert::ToolStatus::kOutput);

    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
    if (buffer == nullptr) throw VvError("out of memory");
    io_.reset(avio_alloc_context(buffer, kBufferSize, 1, this, nullptr, &OutputFile::Write, &OutputFile::Seek));
    if (!io_) {
        av_free(buffer);
        throw VvError("out of memory");
    }
}

OutputFile::~OutputFile() { io_.reset(); }  // the muxer's buffer goes before the file

int OutputFile::Write(void* opaque, av::WriteBuffer buf, int size) {
    const int n = static_cast<OutputFile*>(opaque)->file_.Write(buf, size);
    return n < 0 ? AVERROR(-n) : n;
}

std::int64_t OutputFile::Seek(void* opaque, std::int64_t offset, int whence) {
    platform::PendingFile& file = static_cast<OutputFile*>(opaque)->file_;
    const std::int64_t pos = whence == AVSEEK_SIZE ? file.Size() : file.Seek(offset, whence & ~AVSEEK_FORCE);
    return pos < 0 ? AVERROR(-pos) : pos;
}

void OutputFile::Commit() {
    avio_flush(io_.get());
    if (io_->error < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(io_->error, text, sizeof text);
        throw VvError("cannot write " + path_ + ": " + text, WriteFailure(io_->error));
    }
    const std::string problem = file_.Commit();
    if (!problem.empty()) throw VvError("cannot write " + path_ + ": " + problem, convert::ToolStatus::kOutput);
}

}  // namespace vv
