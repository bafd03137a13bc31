// Output naming and row statuses of a conversion run.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "convert/run_naming.h"
#include "platform/app_path.h"
#include "platform/files.h"
#include "../helpers/temp_folder.h"

namespace fs = std::filesystem;
using namespace convert;

TEST(RunNaming, ExtensionAndBaseName) {
    EXPECT_EQ(OutputExtension("3gpp2"), "3g2");
    for (const char* f : {"3gp", "mp4", "avi", "flv"}) EXPECT_EQ(OutputExtension(f), f);
    EXPECT_EQ(BaseName("/v/clip.avi"), "clip");
    EXPECT_EQ(BaseName("/a.b/clip"), "a");
    EXPECT_EQ(BaseName("/v/clip"), "");
    EXPECT_EQ(BaseName("/v/my.clip.rmvb"), "my.clip");
    EXPECT_EQ(BaseName("/视频/中文 片段.wmv"), "中文 片段");
    const std::string out = std::string("/out") + platform::kPathSeparator;
    EXPECT_EQ(OutputPath("/out", "", "clip", "mp4"), out + "clip.mp4");
    EXPECT_EQ(OutputPath("/out", kNewPrefix, "clip", "mp4"), out + "新clip.mp4");
    EXPECT_EQ(OutputPath("/out", "", "", "mp4"), out + ".mp4");
    if (platform::IsPathSeparator('\\')) {  // Windows spells its paths with either separator
        EXPECT_EQ(BaseName("C:\\视频\\中文 片段.wmv"), "中文 片段");
        EXPECT_EQ(BaseName("C:\\a.b/clip"), "a");
    }
}

TEST(RunNaming, SameFileSeesThroughSpellings) {
    const testutil::TempFolder dir("tolvani-naming");
    fs::create_directories(dir / "sub");
    const std::string d = platform::Utf8(dir);
    const auto in = [&](const std::string& name) { return platform::JoinPath(d, name); };
    const std::string clip = in("clip.mp4");
    std::ofstream(platform::PathFromUtf8(clip)) << "x";

    EXPECT_TRUE(SameFile(clip, clip));
    EXPECT_TRUE(SameFile(clip, d + "//clip.mp4"));  // typed with a trailing separator
    EXPECT_TRUE(SameFile(clip, platform::Utf8(dir / "sub" / ".." / "." / "clip.mp4")));
    std::error_code linked;
    fs::create_symlink(dir, dir / "link", linked);  // Windows may refuse links to a user
    if (!linked) {
        EXPECT_TRUE(SameFile(clip, in("link") + "/clip.mp4"));
    }
    EXPECT_FALSE(SameFile(clip, in("other.mp4")));

    // The renamed output never lands on an existing file.
    EXPECT_EQ(RenamedOutputPath(d, "clip", "mp4"), in("重命名clip.mp4"));
    std::ofstream(platform::PathFromUtf8(in("重命名clip.mp4"))) << "keep";
    EXPECT_EQ(RenamedOutputPath(d, "clip", "mp4"), in("重命名clip(2).mp4"));
    std::ofstream(platform::PathFromUtf8(in("重命名clip(2).mp4"))) << "keep";
    EXPECT_EQ(RenamedOutputPath(d, "clip", "mp4"), in("重命名clip(3).mp4"));

    EXPECT_EQ(OutputFolderProblem(d), "");
    EXPECT_NE(OutputFolderProblem(in("missing")), "");
    EXPECT_NE(OutputFolderProblem(clip), "");
    EXPECT_NE(OutputFolderProblem(""), "");
}

TEST(RunNaming, EachRowShowsWhereItStands) {
    struct Row {
        int row, current;
        bool complete, failed;
        int progress;
        const char* shown;
    };
    const Row rows[] = {
        {0, 1, false, false, 500, "已完成"}, {0, 1, false, true, 500, "失败"},   {2, 1, false, false, 500, "等待"},
        {1, 1, false, false, 1000, "100%"},  {1, 1, false, false, 999, "99%"},   {1, 1, false, false, 45, "4%"},
        {1, 1, false, false, 0, "0%"},       {1, 1, false, false, 1001, "--%"},  {1, 1, false, false, -5, "--%"},
        {1, 1, false, true, 500, "失败"},    {1, 1, true, false, 500, "已完成"}, {1, 1, true, true, 500, "失败"},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(StatusText(StateOfRow(r.row, r.current, r.complete, r.failed), r.progress), r.shown)
            << "row " << r.row << " of current " << r.current << (r.complete ? ", complete" : "")
            << (r.failed ? ", failed" : "") << ", progress " << r.progress;
    }
    // Stopped at row 1: the rows below it still wait.
    EXPECT_EQ(StatusText(StateOfRow(1, 1, false, false, true), 500), "已停止");
    EXPECT_EQ(StatusText(StateOfRow(2, 1, false, false, false), 0), "等待");
}
