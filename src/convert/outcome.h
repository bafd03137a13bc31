#pragma once
// What the user is told of one row of a run: for a failure, a short category in the
// window's language and the tool's own one-line reason; for a success, the notes in which
// vv.exe says what setting it had to change.
#include <string>
#include <string_view>
#include <vector>

#include "convert/brisk.h"

namespace convert {

inline constexpr const char* kCategoryInput = "无法读取输入文件";
inline constexpr const char* kCategoryOutput = "输出文件不能写入";
inline constexpr const char* kCategoryDiskFull = "磁盘空间不足";
inline constexpr const char* kCategoryToolMissing = "转换程序无法启动";
inline constexpr const char* kCategoryTooLong = "命令行过长";
inline constexpr const char* kCategoryStopped = "转换被中止";
inline constexpr const char* kCategoryOther = "转换失败";
inline constexpr const char* kTipStopped = "转换已停止";

struct RowOutcome {
    bool failed = false;
    std::string category;  // a failure's kind
    std::string reason;    // a failure's reason, as the tool or the system gave it
    std::string note;      // a success's notes from vv.exe, one per line
    bool stopped = false;  // the user stopped the run at this row: its output was thrown away

    // The row's tooltip: "category：reason", "转换已停止", or the notes; empty when there is
    // nothing to say.
    std::string Tip() const;
};

// The category of a tool that exited with a failure status, by the kind the status names.
const char* FailureCategory(int exitStatus);

// What became of a finished job.
RowOutcome DescribeOutcome(const JobOutcome& job);

// What the log says of how a job ended; `closeReason` for a tool the window's closing ended.
std::string LogResult(const JobOutcome& job, const std::string& closeReason);

// A row whose command line did not fit the tool's limit: `error` says by how much.
RowOutcome CommandTooLong(const std::string& error);

// The row at which the user stopped the run.
RowOutcome StoppedByUser();

// What the completion box says: "转换完成" alone when nothing failed; else also how many
// failed, a line per failed file (its name, category and reason; ten at most, then how many
// more) and where the log is.
struct FinishedRow {
    std::string input;
    RowOutcome outcome;
};
std::string CompletionText(const std::vector<FinishedRow>& rows, const std::string& logPath);

}  // namespace convert
