// vv.exe: Tolvani's converter tool. Converts one input video into one output file as its
// command line says, writes its progress to the file TOLVANI_PROGRESS_FILE names (else
// progress.txt beside itself), and exits 0 only when the output is complete. A failure
// ends with the status that names its kind (convert::ToolStatus: the command line, the
// input, the output, a full disk, the settings, or 1 for any other) and a one-line
// reason on standard error; a stop by SIGTERM, SIGINT
// or SIGHUP leaves the output converted so far in place (where a file stood at the output
// path when the conversion began, that file stays instead) and ends with 128 + the signal
// (on Windows the program's stop event counts as SIGTERM, Ctrl-C as SIGINT); a stop by
// SIGUSR1 (the program's discard event on Windows) leaves no output and ends with
// 128 + SIGUSR1.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "convert/contract.h"
#include "encoder.h"
#include "note.h"
#include "platform/app_path.h"
#include "platform/environment.h"
#include "platform/stop_request.h"
#include "platform/tool_main.h"
#include "stop.h"
#include "transcoder.h"

namespace {

std::string ProgressPath() {
    std::string chosen = platform::EnvironmentValue(convert::kProgressFileVariable);
    if (!chosen.empty()) return chosen;
    return platform::JoinPath(platform::ProgramDirectory(), convert::kProgressFileName);
}

void PrintReason(const std::string& reason) {
    // One line, text only.
    std::fprintf(stderr, "%.*s%s\n", static_cast<int>(convert::kReasonMarker.size()), convert::kReasonMarker.data(),
                 vv::MessageText(reason).c_str());
}

}  // namespace

int ToolMain(const std::vector<std::string>& argv) {
    vv::InstallStopHandlers();
    try {
        vv::CaptureLibraryMessages();
        const std::vector<std::string> args(argv.begin() + (argv.empty() ? 0 : 1), argv.end());
        const vv::Options options = [&] {
            try {
                return vv::ParseArguments(args);
            } catch (const vv::VvError& e) {
                // A value the command line gives is its fault, unless it says otherwise.
                const bool otherKind = e.status != convert::ToolStatus::kFailed;
                throw vv::VvError(e.what(), otherKind ? e.status : convert::ToolStatus::kCommandLine);
            }
        }();
        vv::ProgressWriter progress(ProgressPath());
        vv::Tuning tuning;
        // One core of a machine shared with other rows: the stages take turns on one thread
        // instead of waking each other on a core that is not theirs.
        if (platform::EnvironmentValue(vv::kOneThreadVariable) == "1" || vv::Cores() == 1) {
            tuning.threads = vv::StageThreads::kOne;
        }
        tuning.decodeEveryPicture = platform::EnvironmentValue(vv::kDecodeEveryPictureVariable) == "1";
        tuning.account = platform::EnvironmentValue(vv::kStageAccountVariable) == "1";
        const vv::Ending end = vv::Transcode(options, progress, tuning);
        if (end.stop != 0) {
            std::string what = "; the output holds what was converted until then";
            if (vv::DiscardRequested()) {
                what = "; the unfinished output was discarded";
            } else if (end.discarded) {
                what = "; the file at " + options.output + " was kept as it was";
            }
            PrintReason("stopped by " + platform::StopRequestName(end.stop) + what);
            return convert::kStoppedStatusBase + end.stop;
        }
        return static_cast<int>(convert::ToolStatus::kDone);
    } catch (const std::exception& e) {
        const int stop = vv::StopSignal();
        if (stop != 0) {
            PrintReason("stopped by " + platform::StopRequestName(stop) + ": " + e.what());
            return convert::kStoppedStatusBase + stop;
        }
        PrintReason(e.what());
        const auto* failure = dynamic_cast<const vv::VvError*>(&e);
        return static_cast<int>(failure != nullptr ? failure->status : convert::ToolStatus::kFailed);
    }
}
