#include "../processes.h"

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testproc {

bool Gone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

bool Running(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    const auto paren = text.rfind(')');
    return paren != std::string::npos && paren + 2 < text.size() && text[paren + 2] != 'Z';
}

std::vector<pid_t> Leftovers(const std::string& mention) {
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream cmdline(entry.path() / "cmdline", std::ios::binary);
        std::string args((std::istreambuf_iterator<char>(cmdline)), {});
        std::ifstream stat(entry.path() / "stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        const auto paren = text.rfind(')');
        if (paren == std::string::npos) continue;
        char state = 0;
        int parent = 0;
        std::istringstream(text.substr(paren + 2)) >> state >> parent;
        const bool zombieOfOurs = state == 'Z' && parent == ::getpid();
        if (zombieOfOurs || args.find(mention) != std::string::npos) found.push_back(std::stoi(name));
    }
    return found;
}

void EndGroup(pid_t tool) { ::kill(-tool, SIGKILL); }

pid_t StartPlain(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

void KillHard(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

InheritableStray::InheritableStray() : value_(::open("/dev/null", O_RDONLY)) {}  // no close-on-exec
InheritableStray::~InheritableStray() { ::close(static_cast<int>(value_)); }
std::string InheritableStray::Token() const { return std::to_string(value_); }

int OwnId() { return ::getpid(); }

pid_t StartSleepingChild() {
    const pid_t child = ::fork();
    if (child == 0) SleepForever();
    return child;
}

void SleepForever() {
    for (;;) ::pause();
}

std::string InheritedView(const std::string&) {
    std::string open;
    DIR* dir = ::opendir("/proc/self/fd");
    while (dirent* e = dir ? ::readdir(dir) : nullptr) {
        if (e->d_name[0] != '.' && std::atoi(e->d_name) != ::dirfd(dir)) open += std::string(e->d_name) + " ";
    }
    if (dir) ::closedir(dir);
    return open;
}

}  // namespace testproc
