// Stands in for vv.exe in the job tests. Copied into a test directory as "vv.exe";
// its first argument chooses what it does:
//   exit N                 exits with status N
//   fail                   prints a reason on stderr and exits with status 1
//   hang PIDFILE [OUTFILE] writes OUTFILE ("partial"), starts a child that sleeps too,
//                          writes "PID CHILDPID" to PIDFILE, then sleeps until killed
//   record FILE ...        writes every argument it got, NUL-separated, to FILE
//   progress DIR N MS      writes N to DIR/progress.txt, waits MS ms, exits 0
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

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
    return 64;
}
