#pragma once
// Where the running program lives: its executable and the directory that holds it,
// which is also the home of vv.exe, h264.dat and progress.txt.
#include <string>
#include <string_view>

namespace platform {

// The separator the program writes between a folder and a name: '/' on POSIX, '\' on
// Windows.
extern const char kPathSeparator;

// Whether a character ends a folder's part of a path: '/' on POSIX; '\' and '/' on Windows.
bool IsPathSeparator(char c);

// Full path of the running executable (UTF-8); empty if the system cannot tell.
std::string ExecutablePath();

// The part of a path before its last separator; empty when the path holds none.
// "/opt/tolvani/tolvani" gives "/opt/tolvani", "/tolvani" gives "" (the root, so that
// directory + "/vv.exe" still names "/vv.exe"); on Windows "C:\Tolvani\tolvani.exe" gives
// "C:\Tolvani" and "C:\tolvani.exe" gives "C:".
std::string DirectoryOf(std::string_view path);

// DirectoryOf(ExecutablePath()): the program directory, without a trailing separator.
std::string ProgramDirectory();

// Joins a directory and a name with one separator, as the program composes its paths.
std::string JoinPath(std::string_view dir, std::string_view name);

}  // namespace platform
