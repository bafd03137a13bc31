#pragma once
// The program's environment, as UTF-8 text (on Windows read as UTF-16, so that a path in
// a variable keeps every character).
#include <ctime>
#include <string>

namespace platform {

// The value of an environment variable; empty when it is unset.
std::string EnvironmentValue(const char* name);

// The folder where the program keeps what it notes for the user (its run log): on POSIX
// $XDG_STATE_HOME, else ~/.local/state; on Windows %LOCALAPPDATA%. Empty when there is none.
std::string UserStateFolder();

// The local time of a moment, as std::localtime gives it but safe beside other threads.
std::tm LocalTime(std::time_t moment);

}  // namespace platform
