// Long names and reasons broken into lines that fit the screen.
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include "convert/outcome.h"
#include "platform/wrap_text.h"

using platform::WrapLongLines;

namespace {

// Columns of a line as wrap_text.h counts them, for the characters used here: Chinese
// ones and full-width punctuation take two, anything else (a dash, a stray byte) one.
std::size_t Width(const std::string& line) {
    std::size_t w = 0;
    for (std::size_t i = 0; i < line.size();) {
        const auto b = static_cast<unsigned char>(line[i]);
        if ((b >> 4) == 14 && i + 2 < line.size()) {
            const auto next = static_cast<unsigned char>(line[i + 1]);
            w += (b >= 0xE4 && b <= 0xE9) || (b == 0xEF && next == 0xBC) ? 2 : 1, i += 3;
        } else {
            w += 1, i += 1;
        }
    }
    return w;
}

std::string WithoutBreaks(std::string text, const std::string& original) {
    // Breaks replace a space or come between characters: put back what the original had.
    std::string out;
    std::size_t j = 0;
    for (const char c : text) {
        if (c == '\n' && (j >= original.size() || original[j] != '\n')) {
            if (j < original.size() && original[j] == ' ') out += ' ', ++j;
            continue;
        }
        out += c, ++j;
    }
    return out;
}

}  // namespace

TEST(WrapText, EveryLineFitsAndNoByteIsLost) {
    const std::string longName = "/home/user/" + std::string(251, 'n') + ".mp4";
    std::string chinese;
    for (int i = 0; i < 85; ++i) chinese += "视";  // 255 bytes, 170 columns
    const std::string cases[] = {
        "short enough",
        "first line\nsecond line",
        longName,
        "/v/" + chinese + ".avi",
        "输入：cannot read " + longName + ": it is not a file, and more words follow here to fill it",
        std::string("bytes \xca\xd3\xc6\xb5 that are not text ") + std::string(120, '\xff'),
        std::string(200, ' '),
    };
    for (const std::string& text : cases) {
        const std::string wrapped = WrapLongLines(text, 90);
        std::istringstream lines(wrapped);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(Width(line), 90u) << line;
        EXPECT_EQ(WithoutBreaks(wrapped, text), text) << wrapped;
        if (Width(text) <= 90) {
            EXPECT_EQ(wrapped, text);
        }
    }
    // Broken at a space where one fits, within a Chinese text between whole characters.
    EXPECT_EQ(WrapLongLines("aaa bbb ccc", 7), "aaa bbb\nccc");
    EXPECT_EQ(WrapLongLines("视频视频", 5), "视频\n视频");
}

TEST(WrapText, TheCompletionBoxOfA255ByteNameFitsTheScreen) {
    const std::string name = "/home/user/" + std::string(251, 'x') + ".avi";
    convert::RowOutcome failed;
    failed.failed = true;
    failed.category = "输出";
    failed.reason = "cannot write /out/" + std::string(251, 'x') + ".mp4: File name too long";
    const std::string shown = convert::CompletionText({{name, failed}}, "/home/user/.local/state/log");
    const std::string text = WrapLongLines(shown);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(Width(line), platform::kShownColumns) << line;
    EXPECT_EQ(WithoutBreaks(text, shown), shown);
}
