#pragma once
// A tool's side of being asked to stop early (see process.h for the program's side): on
// POSIX SIGTERM, SIGINT or SIGHUP; on Windows the stop event named in the environment
// variable kStopEventVariable (taken as SIGTERM), or Ctrl-C, Ctrl-Break or the closing
// of its console when it runs in one (taken as SIGINT and SIGTERM).
//
// A second request asks the tool to stop and throw its unfinished output away: on POSIX
// SIGUSR1, on Windows the discard event named in kDiscardEventVariable. It reaches the
// handler as kDiscardSignal.
#include <csignal>
#include <string>

namespace platform {

#ifdef SIGUSR1
inline constexpr int kDiscardSignal = SIGUSR1;
#else
inline constexpr int kDiscardSignal = 10;  // Windows has no SIGUSR1: Linux's number stands for it
#endif

// Called for each request with the signal number that stands for it. On POSIX it runs in
// a signal handler, so it may only do what a handler may (store to a lock-free atomic).
using StopHandler = void (*)(int signal);

// Starts watching for stop requests. On POSIX a closed pipe becomes an error to report
// rather than the end (SIGPIPE is ignored), and reads and writes under way go on after a
// request (SA_RESTART).
void WatchStopRequests(StopHandler handler);

// How a stop request is named in the tool's message: "SIGTERM", "SIGINT", "SIGHUP",
// "SIGUSR1"; on Windows "the program's stop request" (SIGTERM), "the program's discard
// request" (kDiscardSignal) and "Ctrl-C" (SIGINT).
std::string StopRequestName(int signal);

}  // namespace platform
