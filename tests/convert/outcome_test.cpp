// What a finished row tells the user, and the run log.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "convert/outcome.h"
#include "convert/run_log.h"
#include "../helpers/temp_folder.h"

using namespace convert;
namespace fs = std::filesystem;

TEST(Outcome, TheCategoryComesFromTheKindTheStatusNames) {
    const struct {
        ToolStatus status;
        const char* category;
    } cases[] = {
        {ToolStatus::kInput, kCategoryInput},       {ToolStatus::kOutput, kCategoryOutput},
        {ToolStatus::kDiskFull, kCategoryDiskFull}, {ToolStatus::kCommandLine, kCategoryOther},
        {ToolStatus::kSettings, kCategoryOther},    {ToolStatus::kFailed, kCategoryOther},
    };
    for (const auto& c : cases) EXPECT_STREQ(FailureCategory(static_cast<int>(c.status)), c.category);
    EXPECT_STREQ(FailureCategory(143), kCategoryStopped);
    // The reason is the tool's own line, whatever its words.
    JobOutcome failed;
    failed.kind = JobOutcome::Kind::Exited;
    failed.code = static_cast<int>(ToolStatus::kDiskFull);
    failed.reason = "vv.exe: the disk said no";
    EXPECT_EQ(DescribeOutcome(failed).Tip(), std::string(kCategoryDiskFull) + "：the disk said no");

    JobOutcome job;
    job.kind = JobOutcome::Kind::Exited;
    job.outputTail = "vv.exe: note: mp2 cannot encode at 8000 Hz: 16000 Hz instead\nframe 12\nvv.exe: note: second\n";
    EXPECT_EQ(DescribeOutcome(job).Tip(), "mp2 cannot encode at 8000 Hz: 16000 Hz instead\nsecond");
    EXPECT_FALSE(DescribeOutcome(job).failed);
    job.kind = JobOutcome::Kind::StartFailed;
    job.reason = "cannot start /opt/t/vv.exe: No such file or directory";
    EXPECT_EQ(DescribeOutcome(job).Tip(), "转换程序无法启动：cannot start /opt/t/vv.exe: No such file or directory");
    job.kind = JobOutcome::Kind::Signalled;
    EXPECT_EQ(DescribeOutcome(job).category, kCategoryStopped);
    EXPECT_EQ(CommandTooLong("2509 bytes").Tip(), "命令行过长：2509 bytes");
    // Stopped by the user: no failure, a row of its own kind.
    job.kind = JobOutcome::Kind::Discarded;
    EXPECT_FALSE(DescribeOutcome(job).failed);
    EXPECT_TRUE(DescribeOutcome(job).stopped);
    EXPECT_EQ(DescribeOutcome(job).Tip(), "转换已停止");
}

TEST(Outcome, TheCompletionBoxListsTheFailuresAndTheLog) {
    std::vector<FinishedRow> rows = {{"/v/ok.avi", {}}};
    EXPECT_EQ(CompletionText(rows, "/s/tolvani.log"), "转换完成");
    for (int i = 0; i < 12; ++i)
        rows.push_back({"/v/bad" + std::to_string(i) + ".avi", {true, kCategoryInput, "x", {}}});
    const std::string text = CompletionText(rows, "/s/tolvani.log");
    EXPECT_EQ(text.substr(0, text.find("\nbad1.avi")), "转换完成\n12 个文件转换失败\nbad0.avi — 无法读取输入文件：x");
    EXPECT_NE(text.find("\nbad9.avi"), std::string::npos);
    EXPECT_EQ(text.find("bad10.avi"), std::string::npos);
    EXPECT_EQ(text.substr(text.find("\n……")), "\n……（另有 2 个）\n详细记录见日志：/s/tolvani.log");
}

TEST(RunLog, AppendsAnEntryPerRowAndKeepsOneOldFile) {
    const testutil::TempFolder dir("tolvani-log");
    const std::string log = (dir / "state" / "tolvani.log").string();
    const LogEntry entry{"/v/a.avi", "vv.exe -i \"/v/a.avi\" -y \"/o/a.mp4\"", "exit status 1",
                         std::chrono::milliseconds(1500), "frame 1\nvv.exe: cannot open input /v/a.avi\n"};
    ASSERT_TRUE(AppendToLog(log, entry, 400));
    std::ifstream first(log);
    const std::string text((std::istreambuf_iterator<char>(first)), {});
    first.close();  // an open file cannot be moved aside on Windows
    EXPECT_NE(
        text.find("] /v/a.avi\n  command: vv.exe -i \"/v/a.avi\" -y \"/o/a.mp4\"\n  result: exit status 1, 1.50 s\n"
                  "  | frame 1\n  | vv.exe: cannot open input /v/a.avi\n"),
        std::string::npos)
        << text;
    for (int i = 0; i < 6; ++i) ASSERT_TRUE(AppendToLog(log, entry, 400));  // moves aside past 400 bytes
    EXPECT_TRUE(fs::exists(log + ".1"));
    EXPECT_LE(fs::file_size(log), 400u + text.size());
    EXPECT_FALSE(fs::exists(log + ".2"));
    EXPECT_FALSE(AppendToLog((dir / "state" / "tolvani.log" / "inside a file").string(), entry));
    EXPECT_FALSE(AppendToLog("", entry));
}

TEST(RunLog, NamesCannotForgeEntriesAndALinkAtItsNameIsNotWrittenThrough) {
    const testutil::TempFolder dir("tolvani-log-links");
    const std::string log = (dir / "tolvani.log").string();
    // A line end, a control character and bytes of a GBK name inside a file name; the
    // UTF-8 Chinese text stays as it is.
    const std::string name = "/v/a\n[2026-01-01 00:00:00] /v/forged.avi\x01\xb5\xc4视频.avi";
    const LogEntry entry{name, "vv.exe -i \"" + name + "\"", "exit status 1", {}, "one\rtwo\n"};
    ASSERT_TRUE(AppendToLog(log, entry));
    std::ifstream in(log, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    in.close();
    const std::string escaped = "/v/a\\x0a[2026-01-01 00:00:00] /v/forged.avi\\x01\\xb5\\xc4视频.avi";
    EXPECT_NE(text.find("] " + escaped + "\n  command: vv.exe -i \"" + escaped + "\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  | one\\x0dtwo\n"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4) << text;

    // A link planted at the log's name: the entry is skipped, the link's target untouched.
    const std::string target = (dir / "target").string(), planted = (dir / "planted.log").string();
    { std::ofstream(target) << "kept"; }
    std::error_code ec;
    fs::create_symlink(target, planted, ec);
    if (!ec) {
        EXPECT_FALSE(AppendToLog(planted, entry));
        std::ifstream t(target);
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(t)), {}), "kept");
    }
}
