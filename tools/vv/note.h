#pragma once
#include <string>

namespace vv {

// Prints a line "vv.exe: note: TEXT" on standard error: a setting was changed.
void PrintNote(const std::string& text);

}  // namespace vv
