#include "convert/run_log.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/app_path.h"
#include "platform/environment.h"
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

// The last few non-empty lines of what the tool printed, each behind "  | ".
std::string LastLines(const std::string& output) {
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    std::string out;
    for (std::size_t i = lines.size() > kOutputLines ? lines.size() - kOutputLines : 0; i < lines.size(); ++i) {
        out += "  | " + lines[i] + "\n";
    }
    return out;
}

}  // namespace

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
    std::ofstream log(file, std::ios::app | std::ios::binary);
    if (!log) return false;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", std::chrono::duration<double>(entry.elapsed).count());
    log << "[" << Now() << "] " << entry.input << "\n"
        << "  command: " << (entry.command.empty() ? "(none)" : entry.command) << "\n"
        << "  result: " << entry.result << ", " << seconds << " s\n"
        << LastLines(entry.output);
    log.flush();
    return static_cast<bool>(log);
}

}  // namespace convert
