#include "convert/contract.h"

#include <cctype>
#include <climits>
#include <fstream>

#include "platform/app_path.h"
#include "platform/cmdline.h"
#include "platform/files.h"

namespace convert {

ComposedCommand ComposeCommand(std::string_view input, const OptionSlots& options, std::string_view output) {
    ComposedCommand result;
    std::string line = kToolName;
    line += " -i ";
    line += platform::QuoteArgument(input);
    line += " -y";
    for (const std::string& option : options) {
        line += ' ';
        line += option;
    }
    line += ' ';
    line += platform::QuoteArgument(output);

    if (line.size() + 1 > kCommandCapacity) {
        result.error = "command line of " + std::to_string(line.size()) + " bytes exceeds the limit of " +
                       std::to_string(kCommandCapacity - 1);
        return result;
    }
    result.ok = true;
    result.command = std::move(line);
    return result;
}

std::string ProgressFilePath(std::string_view dir) { return platform::JoinPath(dir, kProgressFileName); }

bool ResetProgress(const std::string& file) {
    std::FILE* out = platform::OpenStdioFileNoFollow(file, "wb");
    if (out == nullptr) return false;
    const bool written = std::fputc('0', out) != EOF;
    return std::fclose(out) == 0 && written;
}

int ParseProgress(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

int ReadProgress(const std::string& file) {
    std::ifstream in(platform::PathFromUtf8(file));
    if (!in) return 0;
    char buf[64] = {};
    in.read(buf, sizeof buf - 1);
    return ParseProgress(std::string_view(buf, static_cast<std::size_t>(in.gcount())));
}

}  // namespace convert
