#pragma once
// The names a file being written uses beside its final name: the hidden temporary name
// (".NAME.vv-PID-N.part") and, where the final name was taken while the file was being
// written, a free name ("NAME (2).EXT"). Both always fit the folder's name limit: the
// part of NAME that does not fit is left out, never in the middle of a character.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// How a file system counts a name's length: in bytes (POSIX) or in UTF-16 units (Windows).
enum class NameUnits { kBytes, kUtf16 };

// The length of a name (UTF-8 on Windows, bytes on POSIX) in the given units.
std::size_t NameLength(std::string_view name, NameUnits units);

// The hidden name of attempt `attempt` of process `pid` for the final name `base` (a
// name, no folder), at most `limit` units long.
std::string HiddenPartName(std::string_view base, unsigned long pid, int attempt, std::size_t limit, NameUnits units);

// The process id in a hidden name made by HiddenPartName; 0 when `name` is not one.
unsigned long HiddenPartOwner(std::string_view name);

// The free name number `n` (2, 3, ...) for `base`: "clip (2).mp4", at most `limit` units.
std::string NumberedName(std::string_view base, int n, std::size_t limit, NameUnits units);

}  // namespace platform
