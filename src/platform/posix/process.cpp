#include "platform/process.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/cmdline.h"

extern char** environ;

namespace platform {

// The read end of the pipe that carries the tool's stdout and stderr.
struct ProcessHandles {
    int outputFd = -1;
    ~ProcessHandles() {
        if (outputFd >= 0) ::close(outputFd);
    }
};

StartedProcess::StartedProcess() = default;
StartedProcess::StartedProcess(StartedProcess&&) noexcept = default;
StartedProcess& StartedProcess::operator=(StartedProcess&&) noexcept = default;
StartedProcess::~StartedProcess() = default;

namespace {

// In the child, between fork and exec: every descriptor above 2 is closed at the exec, so
// that the tool inherits only its input and output whatever the program has open (the
// libraries' descriptors, whatever started the program). Marked rather than closed, so
// that the status pipe still reports a failed exec.
void CloseAboveStandardStreamsOnExec() {
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
    const long limit = std::min(::sysconf(_SC_OPEN_MAX), 65536L);  // kernels before 5.11
    for (int fd = 3; fd < limit; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

// Reads what is available now; false once the pipe is at its end.
bool Drain(int fd, std::string& tail) {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            AppendTail(tail, buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) return false;
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}

}  // namespace

StartedProcess StartHidden(const std::string& program, const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnvironment) {
    StartedProcess result;

    // Everything the child needs is prepared before the fork: after it, the child only
    // makes calls that are safe in a copy of a threaded process.
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (const std::string& e : extraEnvironment) env.push_back(const_cast<char*>(e.c_str()));
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        const bool replaced = std::any_of(extraEnvironment.begin(), extraEnvironment.end(), [&](const std::string& x) {
            const auto eq = x.find('=');
            return entry.size() > eq && entry.substr(0, eq + 1) == std::string_view(x).substr(0, eq + 1);
        });
        if (!replaced) env.push_back(*e);
    }
    env.push_back(nullptr);

    int output[2], status[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        result.error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return result;
    }
    if (::pipe2(status, O_CLOEXEC) != 0) {
        result.error = std::string("cannot create a pipe: ") + std::strerror(errno);
        ::close(output[0]);
        ::close(output[1]);
        return result;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The child: a process group of its own, asked to stop (SIGTERM, so that it can
        // finish its output) if the program goes first, no input, output into the pipe,
        // nothing else inherited.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM, 0, 0, 0);
        if (::getppid() != parent) ::_exit(127);
        const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (null >= 0) ::dup2(null, 0);
        ::dup2(output[1], 1);
        ::dup2(output[1], 2);
        CloseAboveStandardStreamsOnExec();
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGUSR1}) ::signal(sig, SIG_DFL);
        ::execve(program.c_str(), args.data(), env.data());
        const int err = errno;
        [[maybe_unused]] const ssize_t n = ::write(status[1], &err, sizeof err);
        ::_exit(127);
    }
    ::close(output[1]);
    ::close(status[1]);
    if (pid < 0) {
        result.error = std::string("cannot start ") + program + ": " + std::strerror(errno);
        ::close(output[0]);
        ::close(status[0]);
        return result;
    }
    ::setpgid(pid, pid);  // also from this side, so that the group exists before we signal it

    // The status pipe closes on a successful exec; an error number comes through otherwise.
    int err = 0;
    ssize_t n;
    do {
        n = ::read(status[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    ::close(status[0]);
    if (n == static_cast<ssize_t>(sizeof err)) {
        ::waitpid(pid, nullptr, 0);
        ::close(output[0]);
        result.error = "cannot start " + program + ": " + std::strerror(err);
        return result;
    }
    ::fcntl(output[0], F_SETFL, ::fcntl(output[0], F_GETFL) | O_NONBLOCK);
    result.pid = pid;
    result.handles = std::make_unique<ProcessHandles>();
    result.handles->outputFd = output[0];
    return result;
}

StartedProcess StartHiddenCommand(const std::string& program, const std::string& commandLine,
                                  const std::vector<std::string>& extraEnvironment) {
    return StartHidden(program, SplitCommandLine(commandLine), extraEnvironment);
}

ProcessEnd WaitForEnd(const StartedProcess& process) {
    ProcessEnd end;
    const int outputFd = process.handles ? process.handles->outputFd : -1;
    bool pipeOpen = outputFd >= 0;
    for (;;) {
        // While the output is open it is drained between looks; once it has closed, the
        // wait for the end blocks, so that the end is seen the moment it comes.
        siginfo_t info{};
        const int rc =
            ::waitid(P_PID, static_cast<id_t>(process.pid), &info, WEXITED | WNOWAIT | (pipeOpen ? WNOHANG : 0));
        if (rc == 0 && info.si_pid == process.pid) {
            end.signalled = info.si_code != CLD_EXITED;
            end.code = info.si_status;
            break;
        }
        if (rc != 0 && errno != EINTR) {  // not our child any more: nothing to wait for
            end.signalled = true;
            break;
        }
        if (pipeOpen) {
            pollfd pfd{outputFd, POLLIN, 0};
            ::poll(&pfd, 1, 100);
            pipeOpen = Drain(outputFd, end.outputTail);
        }
    }
    if (pipeOpen) Drain(outputFd, end.outputTail);
    end.processorTime = ProcessorTime(process);  // the ended tool waits unreaped: its times are still there
    return end;
}

void ReapGroup(StartedProcess& process) {
    if (process.pid > 0) {
        ::kill(-process.pid, SIGKILL);  // leftovers of a tool that has ended
        pid_t r;
        do {
            r = ::waitpid(process.pid, nullptr, 0);
        } while (r < 0 && errno == EINTR);
        process.pid = -1;
    }
    process.handles.reset();
}

void RequestStop(const StartedProcess& process) {
    if (process.pid <= 0) return;
    ::kill(-process.pid, SIGTERM);
}

void RequestDiscard(const StartedProcess& process) {
    if (process.pid <= 0) return;
    ::kill(-process.pid, SIGUSR1);
}

void TerminateGroup(const StartedProcess& process) {
    if (process.pid <= 0) return;
    ::kill(-process.pid, SIGKILL);
    ::kill(process.pid, SIGKILL);
}

std::chrono::microseconds ProcessorTime(const StartedProcess& process) {
    if (process.pid <= 0) return std::chrono::microseconds(-1);
    // Fields 14 and 15 of /proc/PID/stat, after the command name in parentheses (which may
    // hold blanks and parentheses itself): user and system time in clock ticks.
    std::ifstream stat("/proc/" + std::to_string(process.pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto paren = text.rfind(')');
    if (paren == std::string::npos) return std::chrono::microseconds(-1);
    std::istringstream fields(text.substr(paren + 1));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::strtoull(field.c_str(), nullptr, 10);
        if (i == 15) system = std::strtoull(field.c_str(), nullptr, 10);
    }
    const long ticks = ::sysconf(_SC_CLK_TCK);
    if (!fields || ticks <= 0) return std::chrono::microseconds(-1);
    return std::chrono::microseconds(static_cast<long long>((user + system) * 1000000ULL / static_cast<unsigned long long>(ticks)));
}

}  // namespace platform
