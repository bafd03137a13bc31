#include "convert/outcome.h"

#include <sstream>

#include "platform/utf8_path.h"

namespace convert {
namespace {

// A reason line without the tool's name before it: what the user reads.
std::string_view WithoutToolPrefix(std::string_view line) {
    return line.starts_with(kReasonMarker) ? line.substr(kReasonMarker.size()) : line;
}

}  // namespace

std::string RowOutcome::Tip() const {
    if (stopped) return kTipStopped;
    if (failed) return reason.empty() ? category : category + "：" + reason;
    return note;
}

const char* FailureCategory(int exitStatus) {
    // vv.exe stopped by a signal finishes its output and exits with 128 + the signal.
    if (exitStatus > kStoppedStatusBase) return kCategoryStopped;
    switch (static_cast<ToolStatus>(exitStatus)) {
        case ToolStatus::kInput: return kCategoryInput;
        case ToolStatus::kOutput: return kCategoryOutput;
        case ToolStatus::kDiskFull: return kCategoryDiskFull;
        default: return kCategoryOther;
    }
}

RowOutcome DescribeOutcome(const JobOutcome& job) {
    RowOutcome out;
    switch (job.kind) {
        case JobOutcome::Kind::Exited:
            if (job.code == 0) {
                std::istringstream lines(job.outputTail);
                for (std::string line; std::getline(lines, line);) {
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    if (!line.starts_with(kNoteMarker)) continue;
                    if (!out.note.empty()) out.note += '\n';
                    out.note += line.substr(kNoteMarker.size());
                }
                return out;
            }
            out.category = FailureCategory(job.code);
            break;
        case JobOutcome::Kind::StartFailed: out.category = kCategoryToolMissing; break;
        case JobOutcome::Kind::Discarded: return StoppedByUser();
        case JobOutcome::Kind::Signalled:
        case JobOutcome::Kind::Terminated:
        case JobOutcome::Kind::Running: out.category = kCategoryStopped; break;
    }
    out.failed = true;
    out.reason = std::string(WithoutToolPrefix(job.reason));
    return out;
}

std::string LogResult(const JobOutcome& job, const std::string& closeReason) {
    switch (job.kind) {
        case JobOutcome::Kind::Exited: return "exit status " + std::to_string(job.code);
        case JobOutcome::Kind::Signalled: return "ended by signal " + std::to_string(job.code);
        case JobOutcome::Kind::StartFailed: return "not started: " + job.reason;
        case JobOutcome::Kind::Discarded: return "stopped by the user; the unfinished output was discarded";
        case JobOutcome::Kind::Terminated:
        case JobOutcome::Kind::Running: break;
    }
    return closeReason;
}

RowOutcome CommandTooLong(const std::string& error) { return {true, kCategoryTooLong, error, {}}; }

RowOutcome StoppedByUser() { return {false, {}, {}, {}, true}; }

std::string CompletionText(const std::vector<FinishedRow>& rows, const std::string& logPath) {
    constexpr std::size_t kListed = 10;
    std::string text = "转换完成";
    std::size_t failed = 0;
    std::string lines;
    for (const FinishedRow& row : rows) {
        if (!row.outcome.failed) continue;
        if (++failed > kListed) continue;
        lines += "\n" + platform::Utf8(platform::PathFromUtf8(row.input).filename()) + " — " + row.outcome.Tip();
    }
    if (failed == 0) return text;
    text += "\n" + std::to_string(failed) + " 个文件转换失败" + lines;
    if (failed > kListed) text += "\n……（另有 " + std::to_string(failed - kListed) + " 个）";
    if (!logPath.empty()) text += "\n详细记录见日志：" + logPath;
    return text;
}

}  // namespace convert
