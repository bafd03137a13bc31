// The converter's command line is composed by QuoteArgument and taken apart by
// SplitCommandLine: every argument must come back exactly as it went in.
#include <gtest/gtest.h>

#include "platform/cmdline.h"

using platform::QuoteArgument;
using platform::SplitCommandLine;

namespace {

std::vector<std::string> RoundTrip(const std::vector<std::string>& args) {
    std::string line = "vv.exe";
    for (const auto& a : args) line += " " + QuoteArgument(a);
    auto out = SplitCommandLine(line);
    out.erase(out.begin());
    return out;
}

}  // namespace

TEST(CommandLine, HostileNamesSurviveQuotingAndSplitting) {
    const std::vector<std::string> hostile = {
        "",
        "plain",
        "with space",
        "tab\there",
        "中文 视频.avi",
        "quote\"inside",
        "\"",
        "\"\"",
        "trailing\\",
        "trailing\\\\",
        "dir\\\\\"quote",
        "back\\slash",
        "\\\\server\\share\\",
        "a\" -y \"b",  // would inject arguments if not escaped
        "/home/u/my clips/新 clip\".avi",
    };
    EXPECT_EQ(RoundTrip(hostile), hostile);
}

TEST(CommandLine, SplitsLikeTheWindowsRuntime) {
    EXPECT_EQ(SplitCommandLine(R"(vv.exe a "b c" d)"), (std::vector<std::string>{"vv.exe", "a", "b c", "d"}));
    // 2n backslashes before a quote: n backslashes, the quote toggles.
    EXPECT_EQ(SplitCommandLine(R"(p a\\"b c")"), (std::vector<std::string>{"p", "a\\b c"}));
    // 2n+1 backslashes: n backslashes and a literal quote.
    EXPECT_EQ(SplitCommandLine(R"(p a\\\"b)"), (std::vector<std::string>{"p", "a\\\"b"}));
    // Backslashes not before a quote are literal.
    EXPECT_EQ(SplitCommandLine(R"(p C:\dir\file)"), (std::vector<std::string>{"p", "C:\\dir\\file"}));
    // Two quotes inside a quoted part give one quote.
    EXPECT_EQ(SplitCommandLine(R"(p "a""b")"), (std::vector<std::string>{"p", "a\"b"}));
    // Runs of blanks separate; trailing blanks make no empty argument; "" is one.
    EXPECT_EQ(SplitCommandLine("p  -s 176x144  \"\"  "), (std::vector<std::string>{"p", "-s", "176x144", ""}));
    // The program name takes backslashes literally and may be quoted.
    EXPECT_EQ(SplitCommandLine(R"("C:\my tools\vv.exe" x)"), (std::vector<std::string>{"C:\\my tools\\vv.exe", "x"}));
}
