// Output naming and row statuses of a conversion run.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "convert/run_naming.h"

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
    EXPECT_EQ(OutputPath("/out", "", "clip", "mp4"), "/out/clip.mp4");
    EXPECT_EQ(OutputPath("/out", kNewPrefix, "clip", "mp4"), "/out/新clip.mp4");
    EXPECT_EQ(OutputPath("/out", "", "", "mp4"), "/out/.mp4");
}

TEST(RunNaming, SameFileSeesThroughSpellings) {
    const fs::path dir = fs::temp_directory_path() / ("tolvani-naming-" + std::to_string(::getpid()));
    fs::create_directories(dir / "sub");
    const std::string clip = (dir / "clip.mp4").string();
    std::ofstream(clip) << "x";
    fs::create_symlink(dir, dir / "link");

    EXPECT_TRUE(SameFile(clip, clip));
    EXPECT_TRUE(SameFile(clip, dir.string() + "//clip.mp4"));  // typed with a trailing separator
    EXPECT_TRUE(SameFile(clip, (dir / "sub" / ".." / "." / "clip.mp4").string()));
    EXPECT_TRUE(SameFile(clip, (dir / "link" / "clip.mp4").string()));
    EXPECT_FALSE(SameFile(clip, (dir / "other.mp4").string()));

    // The renamed output never lands on an existing file.
    EXPECT_EQ(RenamedOutputPath(dir.string(), "clip", "mp4"), (dir / "重命名clip.mp4").string());
    std::ofstream(dir / "重命名clip.mp4") << "keep";
    EXPECT_EQ(RenamedOutputPath(dir.string(), "clip", "mp4"), (dir / "重命名clip(2).mp4").string());
    std::ofstream(dir / "重命名clip(2).mp4") << "keep";
    EXPECT_EQ(RenamedOutputPath(dir.string(), "clip", "mp4"), (dir / "重命名clip(3).mp4").string());

    EXPECT_EQ(OutputFolderProblem(dir.string()), "");
    EXPECT_NE(OutputFolderProblem((dir / "missing").string()), "");
    EXPECT_NE(OutputFolderProblem(clip), "");
    EXPECT_NE(OutputFolderProblem(""), "");
    fs::remove_all(dir);
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
}
