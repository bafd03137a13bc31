#pragma once
// Starting the converter tool as a hidden child process, waiting for it and ending it.
// The tool gets no input (stdin is /dev/null or NUL), its output never reaches the user's
// terminal (it is drained into a short tail kept for the failure reason), and it inherits
// nothing else of the program's. Everything it starts is ended with it: on POSIX it runs
// in a process group of its own, on Windows in a job object. It is asked to stop too if
// the program itself goes away first (POSIX: SIGTERM; Windows: the job object, closed
// with the program, kills it).
//
// Asking to stop: on POSIX SIGTERM to the group; on Windows, where a windowless child
// gets no console signal, an event the tool finds by the name in its environment
// variable kStopEventVariable. The tool then finishes its output and ends. Asking to
// stop and discard: on POSIX SIGUSR1 to the group; on Windows a second event, named in
// kDiscardEventVariable. The tool then ends without putting its output in place.
#include <chrono>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// On Windows, the environment variable that names the started tool's stop event.
inline constexpr const char* kStopEventVariable = "TOLVANI_STOP_EVENT";
// On Windows, the environment variable that names the started tool's discard event.
inline constexpr const char* kDiscardEventVariable = "TOLVANI_DISCARD_EVENT";

// The system's handles of a started tool (its output pipe; on Windows also the process,
// its job object and its stop and discard events). Defined by each platform; released by ReapGroup.
struct ProcessHandles;

// A started tool; moved, never copied.
struct StartedProcess {
    StartedProcess();
    StartedProcess(StartedProcess&&) noexcept;
    StartedProcess& operator=(StartedProcess&&) noexcept;
    ~StartedProcess();

    pid_t pid = -1;  // the process id (on POSIX also the id of its process group)
    std::unique_ptr<ProcessHandles> handles;
    std::string error;  // why it could not be started, when pid is -1
};

// Starts `program` with the given arguments (argv[0] included), with the program's
// environment plus (or replaced by) the given NAME=value entries.
StartedProcess StartHidden(const std::string& program, const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnvironment = {});

// The same with the arguments as one command line, as the converter's contract gives it:
// on POSIX split by SplitCommandLine, on Windows handed to the tool as it is (its runtime
// splits it by the same rules).
StartedProcess StartHiddenCommand(const std::string& program, const std::string& commandLine,
                                  const std::vector<std::string>& extraEnvironment = {});

struct ProcessEnd {
    bool signalled = false;  // ended by a signal (code holds the signal number); never on Windows
    int code = 0;            // exit status, or signal number
    std::string outputTail;  // the last few kilobytes of what it printed
    std::chrono::microseconds processorTime{-1};  // all it used, its threads together; negative when not known
};

// Waits, with no time-out, until the process has ended, draining its output meanwhile.
// The ended process is left unreaped (a zombie on POSIX, an open handle on Windows), so
// that its group can be ended safely until ReapGroup is called.
ProcessEnd WaitForEnd(const StartedProcess& process);

// Kills whatever is left of the process's group or job (what the tool started is ended
// with it), reaps the process and releases its handles.
void ReapGroup(StartedProcess& process);

// Asks the process and everything in its group to stop: the tool then finishes its
// output and ends.
void RequestStop(const StartedProcess& process);

// Asks the process and everything in its group to stop and throw away what it has not
// finished: the tool ends without putting its output in place.
void RequestDiscard(const StartedProcess& process);

// Kills the process and everything in its group or job at once.
void TerminateGroup(const StartedProcess& process);

// The processor time the running tool has used so far, all its threads together; a
// negative duration when the system does not tell.
std::chrono::microseconds ProcessorTime(const StartedProcess& process);

// Adds what a tool printed to the tail kept of it: the last few kilobytes.
void AppendTail(std::string& tail, const char* data, std::size_t n);

// The last non-empty line of a text, without its line end.
std::string LastLine(const std::string& text);

}  // namespace platform
