#include "progress.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

#include "platform/files.h"

namespace vv {

ProgressWriter::ProgressWriter(std::string path, std::chrono::milliseconds interval)
    : path_(std::move(path)), interval_(interval) {}

void ProgressWriter::Update(int permille) {
    permille = std::clamp(permille, 0, 999);
    if (permille <= written_) return;
    const auto now = std::chrono::steady_clock::now();
    if (written_ >= 0 && now - last_ < interval_) return;
    last_ = now;
    Write(permille);
}

void ProgressWriter::Finish() { Write(1000); }

void ProgressWriter::Write(int permille) {
    const std::string temp = path_ + "." + std::to_string(::getpid()) + ".tmp";
    std::FILE* f = platform::OpenStdioFileNoFollow(temp, "wb");
    if (f == nullptr && platform::RemoveFile(temp)) f = platform::OpenStdioFileNoFollow(temp, "wb");  // a link there
    if (f == nullptr) return;  // progress is a courtesy: the conversion goes on without it
    const bool ok = std::fprintf(f, "%d", permille) > 0;
    if (std::fclose(f) == 0 && ok && platform::RenameReplacing(temp, path_)) {
        written_ = permille;
    } else {
        platform::RemoveFile(temp);
    }
}

}  // namespace vv
