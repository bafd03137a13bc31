#pragma once
// The command line of vv.exe:
//   vv.exe -i "INPUT" -y [options] "OUTPUT"
// with the options the converter's profiles produce: -vcodec, -b, -s, -r, -aspect,
// -acodec, -ab, -ar, -ac, -strict, -fpre (a key=value file for the video encoder).
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "convert/contract.h"

namespace vv {

// Any failure of vv.exe: one line, shown on standard error, and the kind its exit status
// names.
struct VvError : std::runtime_error {
    explicit VvError(const std::string& what, convert::ToolStatus kind = convert::ToolStatus::kFailed)
        : std::runtime_error(what), status(kind) {}
    convert::ToolStatus status;
};

struct Ratio {
    int num = 0;
    int den = 1;
    bool operator==(const Ratio&) const = default;
};

struct Options {
    std::string input;
    std::string output;
    bool overwrite = false;
    std::string videoCodec;  // encoder name; empty: the container's default
    std::string audioCodec;
    std::optional<std::int64_t> videoBitrate;  // bits per second
    std::optional<std::int64_t> audioBitrate;
    std::optional<std::pair<int, int>> frameSize;
    std::optional<Ratio> frameRate;
    std::optional<Ratio> aspect;  // display aspect ratio
    std::optional<int> sampleRate;
    std::optional<int> channels;
    std::optional<int> strict;  // codec strictness; -2 for "experimental"
    std::string presetFile;
    std::vector<std::pair<std::string, std::string>> videoPreset;  // from the -fpre file
};

// Parses the arguments after the program name. Throws VvError for an unknown option, a
// missing or malformed value, or a missing input or output.
Options ParseArguments(const std::vector<std::string>& args);

// "256k" -> 256000, "12.2k" -> 12200, "1M" -> 1000000.
std::int64_t ParseBitrate(const std::string& text);
// "14.985" -> 2997/200, "30000/1001", "25" -> 25/1; exact for decimals.
Ratio ParseRate(const std::string& text);
// "4:3", "16/9" or "1.777".
Ratio ParseAspect(const std::string& text);
// key=value lines; blank lines and lines starting with '#' are skipped.
std::vector<std::pair<std::string, std::string>> ParsePreset(const std::string& text);

}  // namespace vv
