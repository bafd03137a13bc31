#pragma once
// Starting the converter tool as a hidden child process, waiting for it and ending it.
// The tool gets no input (stdin is /dev/null), its output never reaches the user's
// terminal (it is drained into a short tail kept for the failure reason), and it runs in
// a process group of its own, so that ending it ends everything it started. It is ended
// too if the program itself goes away first.
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

struct StartedProcess {
    pid_t pid = -1;     // also the id of its process group
    int outputFd = -1;  // read end of the pipe that carries its stdout and stderr
    std::string error;  // why it could not be started, when pid is -1
};

// Starts `program` with the given arguments (argv[0] included) in a new process group.
StartedProcess StartHidden(const std::string& program, const std::vector<std::string>& argv);

struct ProcessEnd {
    bool signalled = false;  // ended by a signal (code holds the signal number)
    int code = 0;            // exit status, or signal number
    std::string outputTail;  // the last few kilobytes of what it printed
};

// Waits, with no time-out, until the process has ended, draining its output meanwhile.
// The ended process is left unreaped (a zombie still holding its id), so that its
// process group can be signalled safely until ReapGroup is called.
ProcessEnd WaitForEnd(const StartedProcess& process);

// Kills whatever is left of the process's group and reaps the process and every member
// of its group that has become our child. Closes the output pipe.
void ReapGroup(StartedProcess& process);

// Kills the process and everything in its group at once (SIGKILL).
void TerminateGroup(pid_t pid);

// The last non-empty line of a text, without its line end.
std::string LastLine(const std::string& text);

}  // namespace platform
