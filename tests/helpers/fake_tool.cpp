// Stands in for vv.exe in the job tests. Copied into a test directory as "vv.exe";
// its first argument chooses what it does:
//   exit N                 exits with status N
//   fail                   prints a reason on stderr and exits with status 1
//   hang PIDFILE [OUTFILE] writes OUTFILE ("partial"), starts a child that sleeps too,
//                          writes "PID CHILDPID" to PIDFILE, then sleeps until killed
//   record FILE ...        writes every argument it got, NUL-separated, to FILE
//   progress DIR N MS      writes N to DIR/progress.txt, waits MS ms, exits 0
//   stop PIDFILE LOG MODE  writes its pid to PIDFILE and waits; on SIGTERM it notes "term"
//                          in LOG and, in MODE "finish", notes "done" 300 ms later and
//                          exits 143; in MODE "ignore" it goes on waiting
//   fds FILE               writes the numbers of its open descriptors to FILE
//   -i INPUT ...           stands in for a conversion, as the window starts vv.exe: notes
//                          INPUT in calls.log beside itself; an INPUT whose name holds
//                          "slow" runs until SIGTERM, any other fails at once; "slow-N"
//                          first writes N to the progress file the window handed it
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

int gLog = -1;
bool gFinishOnStop = false;

void OnStop(int) {
    [[maybe_unused]] ssize_t n = ::write(gLog, "term\n", 5);
    if (!gFinishOnStop) return;
    ::usleep(300 * 1000);
    n = ::write(gLog, "done\n", 5);
    ::_exit(143);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 64;
    const std::string mode = argv[1];
    if (mode == "exit" && argc > 2) return std::atoi(argv[2]);
    if (mode == "fail") {
        std::fprintf(stderr, "some progress line\nconversion failed: bad input\n");
        return 1;
    }
    if (mode == "hang" && argc > 2) {
        if (argc > 3) std::ofstream(argv[3]) << "partial";
        const pid_t child = ::fork();
        if (child == 0) {
            for (;;) ::pause();
        }
        {
            std::ofstream tmp(std::string(argv[2]) + ".tmp");
            tmp << ::getpid() << ' ' << child;
        }
        std::rename((std::string(argv[2]) + ".tmp").c_str(), argv[2]);
        for (;;) ::pause();
    }
    if (mode == "record" && argc > 2) {
        std::ofstream out(argv[2], std::ios::binary);
        for (int i = 0; i < argc; ++i) out.write(argv[i], static_cast<std::streamsize>(std::strlen(argv[i]) + 1));
        return 0;
    }
    if (mode == "progress" && argc > 4) {
        std::ofstream(std::string(argv[2]) + "/progress.txt") << argv[3];
        ::usleep(static_cast<useconds_t>(std::atoi(argv[4])) * 1000);
        return 0;
    }
    if (mode == "stop" && argc > 4) {
        gLog = ::open(argv[3], O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
        gFinishOnStop = std::string(argv[4]) == "finish";
        std::signal(SIGTERM, OnStop);
        std::ofstream(std::string(argv[2]) + ".tmp") << ::getpid();
        std::rename((std::string(argv[2]) + ".tmp").c_str(), argv[2]);
        for (;;) ::pause();
    }
    if (mode == "-i" && argc > 2) {
        const auto log = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "calls.log";
        std::ofstream(log, std::ios::app) << argv[2] << '\n';
        const std::string input = argv[2];
        const auto slow = input.find("slow");
        if (slow == std::string::npos) return 1;
        if (const char* progress = std::getenv("TOLVANI_PROGRESS_FILE"); progress && input[slow + 4] == '-') {
            std::ofstream(progress) << std::atoi(input.c_str() + slow + 5);
        }
        std::signal(SIGTERM, [](int) { ::_exit(143); });
        for (;;) ::pause();
    }
    if (mode == "fds" && argc > 2) {
        std::string open;
        DIR* dir = ::opendir("/proc/self/fd");
        while (dirent* e = dir ? ::readdir(dir) : nullptr) {
            if (e->d_name[0] != '.' && std::atoi(e->d_name) != ::dirfd(dir)) open += std::string(e->d_name) + " ";
        }
        if (dir) ::closedir(dir);
        std::ofstream(argv[2]) << open;
        return 0;
    }
    return 64;
}
