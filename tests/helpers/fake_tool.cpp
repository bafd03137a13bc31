// Stands in for vv.exe in the job tests, and for the program that starts it. Copied into
// a test directory as "vv.exe"; its first argument chooses what it does:
//   exit N                 exits with status N
//   fail                   prints a reason on stderr and exits with status 1
//   hang PIDFILE [OUTFILE] writes OUTFILE ("partial"), starts a child that sleeps too,
//                          writes "PID CHILDPID" to PIDFILE, then sleeps until killed
//   sleep                  sleeps until killed (the child of "hang")
//   record FILE ...        writes every argument it got, NUL-separated, to FILE
//   progress DIR N MS      writes N to DIR/progress.txt, waits MS ms, exits 0
//   stop PIDFILE LOG MODE  writes its pid to PIDFILE and waits; asked to stop (SIGTERM, or
//                          the stop event on Windows) it notes "term" in LOG, asked to
//                          discard (SIGUSR1, or the discard event) "discard"; then, in MODE
//                          "finish", notes "done" 300 ms later and exits 143; in MODE
//                          "ignore" it goes on waiting
//   inherited FILE TOKEN   writes what it inherited to FILE (testproc::InheritedView)
//   program DIR PIDFILE    stands in for the program: starts a job "vv.exe hang PIDFILE"
//                          from DIR, then sleeps until killed
//   -i INPUT ...           stands in for a conversion, as the window starts vv.exe: notes
//                          INPUT in calls.log beside itself; an INPUT whose name holds
//                          "slow" runs until asked to stop, one that holds "fine" ends
//                          at once with status 0, any other fails at once;
//                          "slow-N" first writes N to the progress file the window handed
//                          it (TOLVANI_PROGRESS_FILE)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "convert/brisk.h"
#include "platform/app_path.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/stop_request.h"
#include "platform/tool_main.h"
#include "processes.h"

namespace {

std::FILE* gLog = nullptr;
bool gFinishOnStop = false;

void Note(const char* text) {
    std::fputs(text, gLog);
    std::fflush(gLog);
}

// On POSIX this runs in the signal handler (on Windows on the stop watcher's thread); the
// stand-in does nothing else meanwhile, so writing its unbuffered log here is safe enough.
void OnStop(int signal) {
    Note(signal == platform::kDiscardSignal ? "discard\n" : "term\n");
    if (!gFinishOnStop) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Note("done\n");
    std::_Exit(143);
}

// Writes a small file whole under its final name, so that a reader never sees it half.
void WriteAtOnce(const std::string& path, const std::string& text) {
    std::ofstream(platform::PathFromUtf8(path + ".tmp")) << text;
    platform::RenameReplacing(path + ".tmp", path);
}

}  // namespace

int ToolMain(const std::vector<std::string>& argv) {
    const std::size_t argc = argv.size();
    if (argc < 2) return 64;
    const std::string& mode = argv[1];
    if (mode == "exit" && argc > 2) return std::atoi(argv[2].c_str());
    if (mode == "fail") {
        std::fprintf(stderr, "some progress line\nconversion failed: bad input\n");
        return 1;
    }
    if (mode == "sleep") testproc::SleepForever();
    if (mode == "hang" && argc > 2) {
        if (argc > 3) std::ofstream(platform::PathFromUtf8(argv[3])) << "partial";
        const pid_t child = testproc::StartSleepingChild();
        WriteAtOnce(argv[2], std::to_string(testproc::OwnId()) + " " + std::to_string(child));
        testproc::SleepForever();
    }
    if (mode == "record" && argc > 2) {
        std::ofstream out(platform::PathFromUtf8(argv[2]), std::ios::binary);
        for (const std::string& a : argv) out.write(a.c_str(), static_cast<std::streamsize>(a.size() + 1));
        return 0;
    }
    if (mode == "progress" && argc > 4) {
        std::ofstream(platform::PathFromUtf8(argv[2] + "/progress.txt")) << argv[3];
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[4].c_str())));
        return 0;
    }
    if (mode == "stop" && argc > 4) {
        gLog = platform::OpenStdioFile(argv[3], "w");
        if (gLog == nullptr) return 65;
        std::setvbuf(gLog, nullptr, _IONBF, 0);
        gFinishOnStop = argv[4] == "finish";
        platform::WatchStopRequests(OnStop);
        WriteAtOnce(argv[2], std::to_string(testproc::OwnId()));
        testproc::SleepForever();
    }
    if (mode == "inherited" && argc > 3) {
        const std::string view = testproc::InheritedView(argv[3]);  // before the file below opens
        std::ofstream(platform::PathFromUtf8(argv[2])) << view;
        return 0;
    }
    if (mode == "program" && argc > 3) {
        BriskFFmpeg job(("vv.exe hang " + argv[3]).c_str(), argv[2]);
        testproc::SleepForever();
    }
    if (mode == "-i" && argc > 2) {
        const std::string log = platform::JoinPath(platform::ProgramDirectory(), "calls.log");
        std::ofstream(platform::PathFromUtf8(log), std::ios::app) << argv[2] << '\n';
        std::ofstream(platform::PathFromUtf8(platform::JoinPath(platform::ProgramDirectory(), "cores.log")),
                      std::ios::app)
            << argv[2] << '\t' << platform::EnvironmentValue("TOLVANI_CORES") << '\n';
        const std::string& input = argv[2];
        const auto slow = input.find("slow");
        if (slow == std::string::npos) return input.find("fine") != std::string::npos ? 0 : 1;
        if (const std::string progress = platform::EnvironmentValue("TOLVANI_PROGRESS_FILE");
            !progress.empty() && input[slow + 4] == '-') {
            std::ofstream(platform::PathFromUtf8(progress)) << std::atoi(input.c_str() + slow + 5);
        }
        platform::WatchStopRequests([](int) { std::_Exit(143); });
        testproc::SleepForever();
    }
    return 64;
}
