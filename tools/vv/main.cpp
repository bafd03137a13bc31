// vv.exe: Tolvani's converter tool. Converts one input video into one output file as its
// command line says, writes its progress to progress.txt beside itself, and exits 0
// only when the output is complete; any failure ends with status 1 and a one-line
// reason on standard error.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "convert/contract.h"
#include "encoder.h"
#include "platform/app_path.h"
#include "platform/tool_main.h"
#include "transcoder.h"

int ToolMain(const std::vector<std::string>& argv) {
    try {
        vv::CaptureLibraryMessages();
        const std::vector<std::string> args(argv.begin() + (argv.empty() ? 0 : 1), argv.end());
        const vv::Options options = vv::ParseArguments(args);
        vv::ProgressWriter progress(platform::JoinPath(platform::ProgramDirectory(), convert::kProgressFileName));
        vv::Transcode(options, progress);
        return 0;
    } catch (const std::exception& e) {
        std::string reason = e.what();
        for (char& c : reason) {
            if (c == '\n' || c == '\r') c = ' ';  // the reason stays on one line
        }
        std::fprintf(stderr, "vv.exe: %s\n", reason.c_str());
        return 1;
    }
}
