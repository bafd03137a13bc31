#include "convert/outcome.h"

#include <sstream>

#include "platform/utf8_path.h"

namespace convert {
namespace {

constexpr std::string_view kToolPrefix = "vv.exe: ";
constexpr std::string_view kNotePrefix = "vv.exe: note: ";

// The reasons vv.exe gives, first match wins: a text the reason holds at its start (when
// `atStart`) or anywhere, and the category it stands for.
struct Rule {
    const char* text;
    bool atStart;
    const char* category;
};
constexpr Rule kRules[] = {
    {"No space left on device", false, kCategoryDiskFull},
    {"Disk quota exceeded", false, kCategoryDiskFull},
    {"cannot read preset file", true, kCategoryOther},
    {"cannot open input", true, kCategoryInput},
    {"cannot read", true, kCategoryInput},
    {"no picture or sound could be decoded", true, kCategoryInput},
    {"no decoder for the ", true, kCategoryInput},
    {"the input ", true, kCategoryInput},
    {"cannot write", true, kCategoryOutput},
    {"cannot make", true, kCategoryOutput},
    {"cannot finish", true, kCategoryOutput},
    {"output ", true, kCategoryOutput},
    {"the output would overwrite", true, kCategoryOutput},
};

std::string_view WithoutToolPrefix(std::string_view line) {
    return line.starts_with(kToolPrefix) ? line.substr(kToolPrefix.size()) : line;
}

}  // namespace

std::string RowOutcome::Tip() const {
    if (stopped) return kTipStopped;
    if (failed) return reason.empty() ? category : category + "：" + reason;
    return note;
}

const char* FailureCategory(int exitStatus, std::string_view reason) {
    // vv.exe stopped by a signal finishes its output and exits with 128 + the signal.
    if (exitStatus > 128) return kCategoryStopped;
    const std::string_view text = WithoutToolPrefix(reason);
    for (const Rule& rule : kRules) {
        const bool found = rule.atStart ? text.starts_with(rule.text) : text.find(rule.text) != std::string_view::npos;
        if (found) return rule.category;
    }
    return kCategoryOther;
}

RowOutcome DescribeOutcome(const JobOutcome& job) {
    RowOutcome out;
    switch (job.kind) {
        case JobOutcome::Kind::Exited:
            if (job.code == 0) {
                std::istringstream lines(job.outputTail);
                for (std::string line; std::getline(lines, line);) {
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    if (!line.starts_with(kNotePrefix)) continue;
                    if (!out.note.empty()) out.note += '\n';
                    out.note += line.substr(kNotePrefix.size());
                }
                return out;
            }
            out.category = FailureCategory(job.code, job.reason);
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
