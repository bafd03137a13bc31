#pragma once
#include <string>

namespace vv {

// A message as vv.exe prints it: control characters and bytes that are not UTF-8 text
// become \xHH, so that it stays one line of text whatever names or file bytes it quotes.
std::string MessageText(const std::string& text);

// Prints a line "vv.exe: note: TEXT" on standard error: a setting was changed.
void PrintNote(const std::string& text);

}  // namespace vv
