#pragma once
// Stopping a conversion early: SIGTERM, SIGINT and SIGHUP (on Windows the program's stop
// event and Ctrl-C, platform/stop_request.h) only note which signal came;
// the conversion looks at it between steps, stops reading, finishes what it has and
// puts a playable output in place. The discard request (SIGUSR1, on Windows the
// program's discard event) stops it the same way but leaves the output unwritten.
namespace vv {

// Installs the handlers (and ignores SIGPIPE, so that a closed pipe is an error, not death).
void InstallStopHandlers();

// The signal that asked the conversion to stop; 0 while none has.
int StopSignal();

// Whether the stop asks for the unfinished output to be thrown away.
bool DiscardRequested();

}  // namespace vv
