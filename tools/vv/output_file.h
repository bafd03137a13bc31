#pragma once
// The output file as the muxer writes it: a platform::PendingFile, where nothing can see
// or lose it until it is complete. Commit() gives it the final name in one rename,
// replacing whatever stood there (a symbolic link is replaced, never followed); without
// Commit() nothing is left behind and the file at the final name stays as it was.
#include <string>

#include "av_compat.h"
#include "av_ptr.h"
#include "convert/contract.h"
#include "platform/pending_file.h"

namespace vv {

// The kind of failure a write error (an AVERROR) is: a full disk or quota, or any other
// trouble with the output.
convert::ToolStatus WriteFailure(int err);

class OutputFile {
public:
    // Throws VvError (with the system's reason) when the folder cannot take a new file,
    // or when what stands at `path` is neither a file nor a link.
    explicit OutputFile(std::string path);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Where the muxer writes; seekable.
    AVIOContext* Io() const { return io_.get(); }

    // Whether something stood at the path when the file was made.
    bool ReplacesExisting() const { return file_.ReplacesExisting(); }

    // Flushes the data to the disk and puts the file at its final name, or at a free name
    // beside it when a file took that name meanwhile. Throws VvError.
    void Commit();
    bool Committed() const { return !file_.CommittedPath().empty(); }
    // Where Commit() put the file.
    const std::string& CommittedPath() const { return file_.CommittedPath(); }

private:
    static int Write(void* opaque, av::WriteBuffer buf, int size);
    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence);

    std::string path_;
    platform::PendingFile file_;  // the system's side (platform/pending_file.h)
    IoContextPtr io_;
};

}  // namespace vv
