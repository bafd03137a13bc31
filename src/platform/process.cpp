#include "platform/process.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

constexpr std::size_t kTailBytes = 4096;

// Processes that a tool leaves behind are reparented to us instead of to init, so that
// they can be reaped and leave no zombie.
void BecomeSubreaper() {
    static std::once_flag once;
    std::call_once(once, [] { ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0); });
}

void AppendTail(std::string& tail, const char* data, std::size_t n) {
    tail.append(data, n);
    if (tail.size() > kTailBytes) tail.erase(0, tail.size() - kTailBytes);
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

StartedProcess StartHidden(const std::string& program, const std::vector<std::string>& argv) {
    BecomeSubreaper();
    StartedProcess result;

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return result;
    }

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                        POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(fds[1]);

    if (rc != 0) {
        ::close(fds[0]);
        result.error = "cannot start " + program + ": " + std::strerror(rc);
        return result;
    }
    ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    result.pid = pid;
    result.outputFd = fds[0];
    return result;
}

ProcessEnd WaitForEnd(const StartedProcess& process) {
    ProcessEnd end;
    bool pipeOpen = process.outputFd >= 0;
    for (;;) {
        siginfo_t info{};
        const int rc = ::waitid(P_PID, static_cast<id_t>(process.pid), &info,
                                WEXITED | WNOHANG | WNOWAIT);
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
            pollfd pfd{process.outputFd, POLLIN, 0};
            ::poll(&pfd, 1, 100);
            pipeOpen = Drain(process.outputFd, end.outputTail);
        } else {
            ::usleep(100 * 1000);
        }
    }
    if (pipeOpen) Drain(process.outputFd, end.outputTail);
    return end;
}

void ReapGroup(StartedProcess& process) {
    if (process.pid > 0) {
        ::kill(-process.pid, SIGKILL);  // leftovers of a tool that has ended
        for (;;) {
            const pid_t r = ::waitpid(-process.pid, nullptr, __WALL);
            if (r > 0 || (r < 0 && errno == EINTR)) continue;
            break;
        }
        ::waitpid(process.pid, nullptr, WNOHANG);  // in case the group was already empty
        process.pid = -1;
    }
    if (process.outputFd >= 0) {
        ::close(process.outputFd);
        process.outputFd = -1;
    }
}

void TerminateGroup(pid_t pid) {
    if (pid <= 0) return;
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
}

std::string LastLine(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0) {
        while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r' || text[end - 1] == ' '))
            --end;
        if (end == 0) break;
        std::size_t begin = text.find_last_of("\r\n", end - 1);
        begin = begin == std::string::npos ? 0 : begin + 1;
        if (end > begin) return text.substr(begin, end - begin);
        end = begin;
    }
    return {};
}

}  // namespace platform
