// The command line and progress file shared with vv.exe.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "../helpers/format_defaults.h"
#include "convert/contract.h"
#include "platform/cmdline.h"
#include "../helpers/temp_folder.h"

namespace fs = std::filesystem;
using convert::ComposeCommand;
using convert::OptionSlots;

namespace {

const OptionSlots k3gp = testdata::FormatDefaults("")[0].slots;

}  // namespace

TEST(ComposeCommand, FollowsTheToolsGrammarWithOptionsVerbatim) {
    const auto c = ComposeCommand("/v/clip.avi", k3gp, "/out/clip.3gp");
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(c.command,
              "vv.exe -i \"/v/clip.avi\" -y -vcodec h263 -b 256k -s 176x144  -r 14.985 "
              "-acodec libopencore_amrnb -ar 8000 -ab 12.2k -ac 1 \"/out/clip.3gp\"");
}

TEST(ComposeCommand, PathsArriveAsExactlyOneUnchangedArgumentEach) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/home/u/my clips/a b.avi", "/out dir/a b.3gp"},
        {"/视频/中文 文件.rmvb", "/输出/中文 文件.mp4"},
        {"/v/he said \"hi\".avi", "/o/he said \"hi\".avi"},
        {"/v/odd\\name\\", "/o/trailing\\\\"},
        {"/v/.avi", "/o/.mp4"},                   // empty base name
        {"/v/x\" -vcodec evil \"y", "/o/x.flv"},  // an attempt to inject options
    };
    for (const auto& [in, out] : cases) {
        const auto c = ComposeCommand(in, k3gp, out);
        ASSERT_TRUE(c.ok) << in;
        const auto args = platform::SplitCommandLine(c.command);
        ASSERT_EQ(args.size(), 1u + 2u + 1u + 16u + 1u) << c.command;
        EXPECT_EQ(args[0], "vv.exe");
        EXPECT_EQ(args[1], "-i");
        EXPECT_EQ(args[2], in);
        EXPECT_EQ(args[3], "-y");
        EXPECT_EQ(args.back(), out);
    }
}

TEST(ComposeCommand, RefusesALineThatDoesNotFitTheBufferInsteadOfCuttingIt) {
    const auto base = ComposeCommand("", k3gp, "");
    ASSERT_TRUE(base.ok);
    const std::size_t room = convert::kCommandCapacity - 1 - base.command.size();

    const auto fits = ComposeCommand(std::string(room, 'a'), k3gp, "");
    ASSERT_TRUE(fits.ok);
    EXPECT_EQ(fits.command.size(), convert::kCommandCapacity - 1);

    const auto over = ComposeCommand(std::string(room + 1, 'a'), k3gp, "");
    EXPECT_FALSE(over.ok);
    EXPECT_TRUE(over.command.empty());
    EXPECT_FALSE(over.error.empty());
}

TEST(Progress, ParsesLikePercentD) {
    EXPECT_EQ(convert::ParseProgress("1000"), 1000);
    EXPECT_EQ(convert::ParseProgress("999"), 999);
    EXPECT_EQ(convert::ParseProgress("1001"), 1001);
    EXPECT_EQ(convert::ParseProgress("45abc"), 45);
    EXPECT_EQ(convert::ParseProgress("-5"), -5);
    EXPECT_EQ(convert::ParseProgress("  \n 12\n"), 12);
    EXPECT_EQ(convert::ParseProgress("+7"), 7);
    EXPECT_EQ(convert::ParseProgress(""), 0);
    EXPECT_EQ(convert::ParseProgress("   "), 0);
    EXPECT_EQ(convert::ParseProgress("abc"), 0);
    EXPECT_EQ(convert::ParseProgress("-"), 0);
    // Too large for an int: stays out of range instead of wrapping into 0..1000.
    EXPECT_GT(convert::ParseProgress("99999999999999999999"), 1000);
    EXPECT_LT(convert::ParseProgress("-99999999999999999999"), 0);
}

TEST(Progress, ResetWritesASingleZeroAndReadFollowsTheFile) {
    const testutil::TempFolder dir("tolvani-progress");
    const std::string file = convert::ProgressFilePath(dir.string());

    EXPECT_EQ(convert::ReadProgress(file), 0);  // missing file
    { std::ofstream(file) << "734"; }
    EXPECT_EQ(convert::ReadProgress(file), 734);
    ASSERT_TRUE(convert::ResetProgress(file));
    {
        std::ifstream in(file, std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(content, "0");
    }
    EXPECT_EQ(convert::ReadProgress(file), 0);

    EXPECT_FALSE(convert::ResetProgress((dir / "no such dir" / "progress.txt").string()));

    // A link planted at the progress file's name is not written through.
    const fs::path target = dir / "target";
    { std::ofstream(target) << "kept"; }
    std::error_code ec;
    fs::remove(file, ec);
    fs::create_symlink(target, file, ec);
    if (!ec) {
        EXPECT_FALSE(convert::ResetProgress(file));
        std::ifstream in(target);
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "kept");
    }
}
