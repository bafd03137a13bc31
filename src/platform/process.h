#pragma once
// Starting the converter tool as a hidden child process, waiting for it and ending it.
// The tool gets no input (stdin is /dev/null), its output never reaches the user's
// terminal (it is drained into a short tail kept for the failure reason), and it runs in
// a process group of its own, so that ending it ends everything it started. It is asked
// to stop too if the program itself goes away first.
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

struct StartedProcess {
    pid_t pid = -1;     // also the id of its process group
    int outputFd = -1;  // read end of the pipe that carries its stdout and stderr
    std::string error;  // why it could not be started, when pid is -1
};

// Starts `program` with the given arguments (argv[0] included) in a new process group,
// with the program's environment plus (or replaced by) the given NAME=value entries.
StartedProcess StartHidden(const std::string& program, const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnvironment = {});

struct ProcessEnd {
    bool signalled = false;  // ended by a signal (code holds the signal number)
    int code = 0;            // exit status, or signal number
    std::string outputTail;  // the last few kilobytes of what it printed
};

// Waits, with no time-out, until the process has ended, draining its output meanwhile.
// The ended process is left unreaped (a zombie still holding its id), so that its
// process group can be signalled safely until ReapGroup is called.
ProcessEnd WaitForEnd(const StartedProcess& process);

// Kills whatever is left of the process's group (what the tool started is ended with it)
// and reaps the process. Closes the output pipe.
void ReapGroup(StartedProcess& process);

// Asks the process and everything in its group to stop (SIGTERM): the tool then finishes
// its output and ends.
void RequestStop(pid_t pid);

// Kills the process and everything in its group at once (SIGKILL).
void TerminateGroup(pid_t pid);

// The last non-empty line of a text, without its line end.
std::string LastLine(const std::string& text);

}  // namespace platform
