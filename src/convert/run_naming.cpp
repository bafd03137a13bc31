#include "convert/run_naming.h"

#include "platform/app_path.h"
#include "platform/files.h"

namespace convert {

std::string OutputExtension(std::string_view format) {
    return format == "3gpp2" ? std::string("3g2") : std::string(format);
}

std::string BaseName(std::string_view inputPath) {
    const auto dot = inputPath.rfind('.');
    const std::string_view head = dot == std::string_view::npos ? std::string_view() : inputPath.substr(0, dot);
    std::size_t start = head.size();
    while (start > 0 && !platform::IsPathSeparator(head[start - 1])) --start;
    return std::string(head.substr(start));
}

std::string OutputPath(std::string_view dir, std::string_view prefix, std::string_view base, std::string_view ext) {
    std::string name(prefix);
    name += base;
    name += '.';
    name += ext;
    return platform::JoinPath(dir, name);
}

bool SameFile(const std::string& a, const std::string& b) { return a == b || platform::SameExistingFile(a, b); }

bool FileExists(const std::string& path) { return platform::PathTaken(path); }

std::string RenamedOutputPath(std::string_view dir, std::string_view base, std::string_view ext) {
    std::string path = OutputPath(dir, kRenamePrefix, base, ext);
    for (int n = 2; platform::PathTaken(path); ++n) {
        path = OutputPath(dir, kRenamePrefix, std::string(base) + "(" + std::to_string(n) + ")", ext);
    }
    return path;
}

std::string OutputFolderProblem(const std::string& dir) { return platform::FolderProblem(dir); }

std::string ProgressStatusText(int value) {
    if (!ProgressInRange(value)) return "--%";
    return std::to_string(value / 10) + "%";
}

RowState StateOfRow(int row, int currentRow, bool runComplete, bool failed, bool stopped) {
    if (row > currentRow && !runComplete) return RowState::Waiting;
    if (stopped) return RowState::Stopped;
    if (failed) return RowState::Failed;
    return row < currentRow || runComplete ? RowState::Done : RowState::Running;
}

std::string StatusText(RowState state, int progress) {
    switch (state) {
        case RowState::Done: return kStatusDone;
        case RowState::Failed: return kStatusFailed;
        case RowState::Waiting: return kStatusWaiting;
        case RowState::Stopped: return kStatusStopped;
        case RowState::Running: break;
    }
    return ProgressStatusText(progress);
}

}  // namespace convert
