#pragma once
// The contract between the program and the converter tool vv.exe: the command line it
// is started with and the progress file it writes.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace convert {

// The command line travels in a 2000-byte buffer, terminator included.
inline constexpr std::size_t kCommandCapacity = 2000;

inline constexpr const char* kToolName = "vv.exe";
inline constexpr const char* kProgressFileName = "progress.txt";
// The environment variable that hands vv.exe the progress file of the window that
// started it; vv.exe run by hand writes progress.txt beside itself.
inline constexpr const char* kProgressFileVariable = "TOLVANI_PROGRESS_FILE";
// The environment variable that gives vv.exe its share of the cores, where the run
// converts several rows at once: a number from 1 up. vv.exe takes the machine's cores
// when it is unset or not such a number, and never more than the machine has.
inline constexpr const char* kCoresVariable = "TOLVANI_CORES";
inline constexpr const char* kH264PresetFileName = "h264.dat";

// How vv.exe ended, as its exit status names it; its last line ("vv.exe: REASON") is the
// reason shown to the user. A stop by a signal ends with 128 + the signal instead.
enum class ToolStatus : int {
    kDone = 0,         // the output is complete; what it had to change is in its note lines
    kFailed = 1,       // any failure of no kind below
    kCommandLine = 2,  // its command line or preset file cannot be used
    kInput = 3,        // the input cannot be read, or holds nothing it can convert
    kOutput = 4,       // the output cannot be made or written
    kDiskFull = 5,     // the output's disk (or the user's quota) is full
    kSettings = 6,     // an encoder or the output format refuses the settings
};
inline constexpr int kStoppedStatusBase = 128;
// The start of each line in which vv.exe says what setting it changed or what the output
// lacks, on a conversion that succeeded.
inline constexpr std::string_view kNoteMarker = "vv.exe: note: ";
inline constexpr std::string_view kReasonMarker = "vv.exe: ";

// The eight option strings in command-line slot order: video codec, video bitrate,
// frame size, frame rate, audio codec, sample rate, audio bitrate, channels.
using OptionSlots = std::array<std::string, 8>;

struct ComposedCommand {
    bool ok = false;
    std::string command;  // the whole line, when ok
    std::string error;    // why there is none, when not ok
};

// Fills `vv.exe -i "INPUT" -y S1 S2 S3 S4 S5 S6 S7 S8 "OUTPUT"`. The option strings go
// in verbatim (trailing blanks kept); the two paths are quoted so that each reaches the
// tool as exactly one argument, whatever it holds. A line that would not fit the
// 2000-byte buffer with its terminator is refused, never cut.
ComposedCommand ComposeCommand(std::string_view input, const OptionSlots& options, std::string_view output);

// progress.txt in the given directory.
std::string ProgressFilePath(std::string_view dir);

// Writes the single character "0" (no line end) into the progress file, creating or
// truncating it. False when the file cannot be written.
bool ResetProgress(const std::string& file);

// The progress value as "%d" reads it: leading white space, an optional sign, digits;
// what follows is ignored. No integer gives 0; a number beyond the int range saturates
// (so it stays outside 0..1000).
int ParseProgress(std::string_view text);

// Reads the progress file; a missing or unreadable file gives 0.
int ReadProgress(const std::string& file);

}  // namespace convert
