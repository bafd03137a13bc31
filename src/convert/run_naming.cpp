#include "convert/run_naming.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/app_path.h"

namespace convert {

std::string OutputExtension(std::string_view format) {
    return format == "3gpp2" ? std::string("3g2") : std::string(format);
}

std::string BaseName(std::string_view inputPath) {
    const auto dot = inputPath.rfind('.');
    const std::string_view head = dot == std::string_view::npos ? std::string_view() : inputPath.substr(0, dot);
    const auto sep = head.rfind(platform::kPathSeparator);
    return std::string(sep == std::string_view::npos ? head : head.substr(sep + 1));
}

std::string OutputPath(std::string_view dir, std::string_view prefix, std::string_view base, std::string_view ext) {
    std::string name(prefix);
    name += base;
    name += '.';
    name += ext;
    return platform::JoinPath(dir, name);
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool FileExists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    std::fclose(f);
    return true;
}

std::string RenamedOutputPath(std::string_view dir, std::string_view base, std::string_view ext) {
    std::string path = OutputPath(dir, kRenamePrefix, base, ext);
    struct stat st {};
    for (int n = 2; ::lstat(path.c_str(), &st) == 0; ++n) {
        path = OutputPath(dir, kRenamePrefix, std::string(base) + "(" + std::to_string(n) + ")", ext);
    }
    return path;
}

std::string OutputFolderProblem(const std::string& dir) {
    struct stat st {};
    if (dir.empty() || ::stat(dir.c_str(), &st) != 0) return "不存在";
    if (!S_ISDIR(st.st_mode)) return "不是文件夹";
    if (::access(dir.c_str(), W_OK | X_OK) != 0) return "不能写入";
    return {};
}

std::string ProgressStatusText(int value) {
    if (!ProgressInRange(value)) return "--%";
    return std::to_string(value / 10) + "%";
}

RowState StateOfRow(int row, int currentRow, bool runComplete, bool failed) {
    if (row > currentRow && !runComplete) return RowState::Waiting;
    if (failed) return RowState::Failed;
    return row < currentRow || runComplete ? RowState::Done : RowState::Running;
}

std::string StatusText(RowState state, int progress) {
    switch (state) {
        case RowState::Done: return kStatusDone;
        case RowState::Failed: return kStatusFailed;
        case RowState::Waiting: return kStatusWaiting;
        case RowState::Running: break;
    }
    return ProgressStatusText(progress);
}

}  // namespace convert
