#pragma once
// The converter's command line is one string (the contract with vv.exe). These two
// functions are each other's inverse: QuoteArgument wraps one argument so that
// SplitCommandLine gives it back unchanged, whatever characters it holds.
// Both follow the Windows C runtime's rules for command lines.
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Splits a command line into arguments: blanks and tabs separate arguments outside
// double quotes; a double quote toggles quoting; 2n backslashes before a quote give n
// backslashes and the quote toggles, 2n+1 give n backslashes and a literal quote; two
// quotes inside a quoted part give one literal quote; other backslashes are literal.
// The first argument (the program name) ends at the first blank outside quotes and
// takes backslashes literally.
std::vector<std::string> SplitCommandLine(std::string_view line);

// Encloses an argument in double quotes, escaping what the splitter would otherwise
// read specially: a quote becomes \" and backslashes before a quote or before the
// closing quote are doubled.
std::string QuoteArgument(std::string_view arg);

}  // namespace platform
