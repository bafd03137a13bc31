#include "convert/run_log.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <vector>

#include "platform/app_path.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/utf8_path.h"

namespace convert {
namespace {

constexpr std::size_t kOutputLines = 10;

std::string Now() {
    const std::tm local = platform::LocalTime(std::time(nullptr));
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 when there is none.
std::size_t Utf8Sequence(std::string_view text) {
    const auto b = static_cast<unsigned char>(text[0]);
    const std::size_t n = b < 0x80                   ? 1
                          : (b >= 0xC2 && b <= 0xDF) ? 2
                          : (b >= 0xE0 && b <= 0xEF) ? 3
                          : (b >= 0xF0 && b <= 0xF4) ? 4
                                                     : 0;
    if (n == 0 || text.size() < n) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
    }
    const auto b1 = static_cast<unsigned char>(text.size() > 1 ? text[1] : 0);
    if ((b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 >= 0xA0) || (b == 0xF0 && b1 < 0x90) || (b == 0xF4 && b1 >= 0x90))
        return 0;  // overlong forms, surrogates, beyond U+10FFFF
    return n;
}

// The last few non-empty lines of what the tool printed, each behind "  | ".
std::string LastLines(const std::string& output) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) lines.push_back(EscapeForLog(line));
    }
    std::string out;
    for (std::size_t i = lines.size() > kOutputLines ? lines.size() - kOutputLines : 0; i < lines.size(); ++i) {
        out += "  | " + lines[i] + "\n";
    }
    return out;
}

}  // namespace

std::string EscapeForLog(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t n = Utf8Sequence(text);
        const auto b = static_cast<unsigned char>(text[0]);
        if (n == 0 || b < 0x20 || b == 0x7F) {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 15];
            text.remove_prefix(1);
        } else {
            out.append(text.substr(0, n));
            text.remove_prefix(n);
        }
    }
    return out;
}

std::string DefaultLogPath() {
    const std::string dir = platform::UserStateFolder();
    if (dir.empty()) return {};
    return platform::JoinPath(platform::JoinPath(dir, "tolvani"), "tolvani.log");
}

bool AppendToLog(const std::string& path, const LogEntry& entry, std::size_t rotateAt) {
    if (path.empty()) return false;
    namespace fs = std::filesystem;
    const fs::path file = platform::PathFromUtf8(path);
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (fs::file_size(file, ec) >= rotateAt && !ec) {
        fs::path old = file;
        old += ".1";
        fs::rename(file, old, ec);  // replaces the older one
    }
    // Never through a link planted at the log's name.
    std::FILE* log = platform::OpenStdioFileNoFollow(path, "ab");
    if (log == nullptr) return false;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", std::chrono::duration<double>(entry.elapsed).count());
    // Names are written escaped: a line end or a byte that is no text cannot forge a line.
    const std::string text = "[" + Now() + "] " + EscapeForLog(entry.input) + "\n" +
                             "  command: " + (entry.command.empty() ? "(none)" : EscapeForLog(entry.command)) + "\n" +
                             "  result: " + EscapeForLog(entry.result) + ", " + seconds + " s\n" +
                             LastLines(entry.output);
    const bool written = std::fwrite(text.data(), 1, text.size(), log) == text.size();
    return std::fclose(log) == 0 && written;
}

}  // namespace convert
