#include "platform/pending_names.h"

#include <cstdint>

namespace platform {
namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The longest start of `text` that is at most `limit` units and does not end inside a
// UTF-8 sequence.
std::string_view Cut(std::string_view text, std::size_t limit, NameUnits units) {
    while (!text.empty() && NameLength(text, units) > limit) {
        // The last character goes whole: its continuation bytes, then its lead byte.
        while (!text.empty() && IsContinuation(text.back())) text.remove_suffix(1);
        if (!text.empty()) text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::size_t NameLength(std::string_view name, NameUnits units) {
    if (units == NameUnits::kBytes) return name.size();
    std::size_t n = 0;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0) != 0x80) ++n;  // each lead byte starts a character...
        if (b >= 0xF0) ++n;           // ...and one beyond the basic plane takes two units
    }
    return n;
}

std::string HiddenPartName(std::string_view base, unsigned long pid, int attempt, std::size_t limit, NameUnits units) {
    const std::string tail = ".vv-" + std::to_string(pid) + "-" + std::to_string(attempt) + ".part";
    const std::size_t fixed = 1 + tail.size();
    return "." + std::string(Cut(base, limit > fixed ? limit - fixed : 0, units)) + tail;
}

unsigned long HiddenPartOwner(std::string_view name) {
    constexpr std::string_view kEnd = ".part", kMark = ".vv-";
    if (name.size() < 2 || name[0] != '.' || !name.ends_with(kEnd)) return 0;
    name.remove_suffix(kEnd.size());
    const auto mark = name.rfind(kMark);
    if (mark == std::string_view::npos || mark == 0) return 0;
    const std::string_view numbers = name.substr(mark + kMark.size());  // PID-N
    const auto dash = numbers.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == numbers.size()) return 0;
    std::uint64_t pid = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i == dash) continue;
        if (numbers[i] < '0' || numbers[i] > '9') return 0;
        if (i < dash && (pid = pid * 10 + static_cast<unsigned>(numbers[i] - '0')) > 0xFFFFFFFFu) return 0;
    }
    return static_cast<unsigned long>(pid);
}

std::string NumberedName(std::string_view base, int n, std::size_t limit, NameUnits units) {
    const auto dot = base.rfind('.');
    const bool hasExtension = dot != std::string_view::npos && dot > 0;
    const std::string_view stem = hasExtension ? base.substr(0, dot) : base;
    const std::string tail = " (" + std::to_string(n) + ")" + std::string(hasExtension ? base.substr(dot) : "");
    const std::size_t fixed = NameLength(tail, units);
    return std::string(Cut(stem, limit > fixed ? limit - fixed : 0, units)) + tail;
}

}  // namespace platform
