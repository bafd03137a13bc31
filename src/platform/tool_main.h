#pragma once
// The entry point of a command-line tool (vv.exe, the test tools). The platform's own
// entry calls ToolMain with the arguments as UTF-8, argv[0] included: main on POSIX,
// wmain on Windows, whose runtime splits the command line by the rules the converter's
// contract follows (platform/cmdline.h), so that every character of a name arrives.
#include <string>
#include <vector>

int ToolMain(const std::vector<std::string>& args);
