#pragma once
// vv.exe run as the window runs it, and ffprobe's view of what it wrote: for vv.exe's tests.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "convert/contract.h"
#include "platform/cmdline.h"
#include "platform/process.h"

namespace vvtest {

struct VvRun {
    bool ok = false;
    int code = 0;
    std::string output;  // what vv.exe printed
};

inline VvRun RunVv(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"vv.exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::StartedProcess p = platform::StartHidden(VV_EXE, argv);
    if (p.pid <= 0) return {false, -1, p.error};
    const platform::ProcessEnd end = platform::WaitForEnd(p);
    platform::ReapGroup(p);
    return {!end.signalled && end.code == 0, end.code, end.outputTail};
}

// The command line exactly as the window composes it, split as the job splits it.
inline VvRun RunProfile(const std::string& in, const convert::OptionSlots& slots, const std::string& out) {
    const auto composed = convert::ComposeCommand(in, slots, out);
    if (!composed.ok) return {false, -1, composed.error};
    auto args = platform::SplitCommandLine(composed.command);
    args.erase(args.begin());
    return RunVv(args);
}

inline std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// ffprobe's view of a file: one map per stream, keyed by codec_type; "format" for the file.
inline std::map<std::string, std::map<std::string, std::string>> Probe(const std::string& path) {
    const std::string text = Shell(
        "ffprobe -v error -show_entries "
        "stream=codec_type,codec_name,width,height,avg_frame_rate,r_frame_rate,sample_rate,channels,bit_rate,"
        "sample_aspect_ratio,display_aspect_ratio,color_space,color_transfer,color_primaries:format="
        "duration "
        "-of flat '" +
        path + "'");
    std::map<std::string, std::map<std::string, std::string>> result;
    std::map<std::string, std::map<std::string, std::string>> byIndex;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        const auto dot = key.rfind('.');
        const std::string owner = key.substr(0, dot), field = key.substr(dot + 1);
        if (owner == "format")
            result["format"][field] = value;
        else
            byIndex[owner][field] = value;
    }
    for (auto& [owner, fields] : byIndex) result[fields["codec_type"]] = fields;
    return result;
}

inline int ShellStatus(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace vvtest
