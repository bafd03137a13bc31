#pragma once
// What the job tests and the stand-in tool ask the system about processes, on POSIX and
// on Windows (posix/processes.cpp, win32/processes.cpp).
#include <string>
#include <sys/types.h>
#include <vector>

namespace testproc {

// No process with this id is left: on POSIX not even a zombie, on Windows none running.
bool Gone(pid_t pid);
// Running: neither ended nor a zombie waiting for its parent.
bool Running(pid_t pid);
// Processes the test may have left: on POSIX those still running whose command line
// mentions the text, and zombies among this process's children; on Windows every vv.exe
// still running (the tests under Wine run one at a time).
std::vector<pid_t> Leftovers(const std::string& mention);
// Kills what is left of a tool's group after its program died (on Windows the job has
// done it already).
void EndGroup(pid_t tool);

// Starts a program plainly (no job runner, no job object), as the user starts Tolvani,
// and kills it the hard way.
pid_t StartPlain(const std::string& program, const std::vector<std::string>& args);
void KillHard(pid_t pid);

// A descriptor (POSIX) or handle (Windows) of this process's that a started child would
// inherit unless the job runner keeps it back; Token() is its number as text.
class InheritableStray {
public:
    InheritableStray();
    ~InheritableStray();
    InheritableStray(const InheritableStray&) = delete;
    InheritableStray& operator=(const InheritableStray&) = delete;
    std::string Token() const;

private:
    long long value_;
};

// The stand-in tool's side.
int OwnId();
// Starts a child of the tool's that sleeps until it is killed; returns its id.
pid_t StartSleepingChild();
[[noreturn]] void SleepForever();
// The standard streams the tool has open ("0 1 2 " when all three are), then whatever
// else it inherited: its other descriptors on POSIX, the stray handle `token` on Windows.
std::string InheritedView(const std::string& token);

}  // namespace testproc
