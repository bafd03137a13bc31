#pragma once
// The run log: one entry a row of every run, so that a failure can be looked into after the
// window has moved on. It lives in $XDG_STATE_HOME/tolvani/tolvani.log (by default
// ~/.local/state/tolvani/tolvani.log; on Windows %LOCALAPPDATA%\tolvani\tolvani.log) and
// moves aside to tolvani.log.1 once it passes its size limit, so that one old file is
// kept. A log that cannot be written is skipped: it never fails a conversion.
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace convert {

struct LogEntry {
    std::string input;
    std::string command;                            // empty when none could be composed
    std::string result;                             // "exit status 0", "ended by signal 15", ...
    std::chrono::steady_clock::duration elapsed{};  // how long the tool ran
    std::string output;                             // what the tool printed last
};

// A name or line as the log writes it: control characters and bytes that are not UTF-8
// text become \xHH, so that a crafted name can neither split an entry nor forge one.
std::string EscapeForLog(std::string_view text);

// The log's path from the environment; empty when there is no home to put it in.
std::string DefaultLogPath();

inline constexpr std::size_t kLogRotateBytes = 1 << 20;

// Appends an entry (the time, the input, the command, the result and duration, and the
// last lines of the output); false when the log cannot be written.
bool AppendToLog(const std::string& path, const LogEntry& entry, std::size_t rotateAt = kLogRotateBytes);

}  // namespace convert
