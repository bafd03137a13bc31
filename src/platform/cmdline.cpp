#include "platform/cmdline.h"

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();

    // The program name: quotes toggle, nothing else is special.
    {
        std::string arg;
        bool inQuote = false;
        while (i < n) {
            const char c = line[i];
            if (c == '"') {
                inQuote = !inQuote;
                ++i;
                continue;
            }
            if (!inQuote && IsBlank(c)) break;
            arg += c;
            ++i;
        }
        args.push_back(std::move(arg));
    }

    for (;;) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i >= n) break;

        std::string arg;
        bool inQuote = false;
        while (i < n) {
            std::size_t slashes = 0;
            while (i < n && line[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < n && line[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    arg += '"';  // escaped quote
                } else if (inQuote && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';  // "" inside quotes: one literal quote
                    ++i;
                } else {
                    inQuote = !inQuote;
                }
                ++i;
                continue;
            }
            arg.append(slashes, '\\');
            if (i >= n) break;
            if (!inQuote && IsBlank(line[i])) break;
            arg += line[i];
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string QuoteArgument(std::string_view arg) {
    std::string out = "\"";
    std::size_t slashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        if (c == '"') {
            out.append(slashes * 2 + 1, '\\');
            out += '"';
        } else {
            out.append(slashes, '\\');
            out += c;
        }
        slashes = 0;
    }
    out.append(slashes * 2, '\\');
    out += '"';
    return out;
}

}  // namespace platform
