#include "platform/wrap_text.h"

#include <cstdint>

namespace platform {
namespace {

// The length of the UTF-8 character at the start of `s` (1 for a stray byte) and its code.
std::size_t Character(std::string_view s, std::uint32_t& code) {
    const auto b = static_cast<unsigned char>(s[0]);
    const std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || n > s.size()) return code = b, 1;
    code = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t i = 1; i < n; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c >> 6) != 2) return code = b, 1;
        code = (code << 6) | (c & 0x3F);
    }
    return n;
}

// Columns a character takes: two for East Asian wide ones (CJK, Hangul, full-width forms).
std::size_t Columns(std::uint32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

void WrapLine(std::string_view line, std::size_t columns, std::string& out) {
    while (!line.empty()) {
        std::size_t width = 0, fits = 0, space = std::string_view::npos;
        while (fits < line.size()) {
            std::uint32_t code = 0;
            const std::size_t n = Character(line.substr(fits), code);
            if (width + Columns(code) > columns && fits > 0) break;
            width += Columns(code);
            if (code == ' ') space = fits;
            fits += n;
        }
        if (fits == line.size()) {
            out.append(line);
            return;
        }
        if (line[fits] == ' ') space = fits;  // the first character that does not fit is a space
        if (space != std::string_view::npos && space > 0) {
            out.append(line.substr(0, space));
            line.remove_prefix(space + 1);
        } else {
            out.append(line.substr(0, fits));
            line.remove_prefix(fits);
        }
        out += '\n';
    }
}

}  // namespace

std::string WrapLongLines(std::string_view text, std::size_t columns) {
    std::string out;
    out.reserve(text.size() + text.size() / (columns == 0 ? 1 : columns) + 1);
    if (columns == 0) columns = 1;
    for (;;) {
        const std::size_t end = text.find('\n');
        WrapLine(text.substr(0, end), columns, out);
        if (end == std::string_view::npos) return out;
        out += '\n';
        text.remove_prefix(end + 1);
    }
}

}  // namespace platform
