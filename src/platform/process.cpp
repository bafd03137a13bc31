#include "platform/process.h"

namespace platform {

void AppendTail(std::string& tail, const char* data, std::size_t n) {
    constexpr std::size_t kTailBytes = 4096;
    tail.append(data, n);
    if (tail.size() > kTailBytes) tail.erase(0, tail.size() - kTailBytes);
}

std::string LastLine(const std::string& text) {
    std::size_t end = text.size();
    while (end > 0) {
        while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r' || text[end - 1] == ' ')) --end;
        if (end == 0) break;
        std::size_t begin = text.find_last_of("\r\n", end - 1);
        begin = begin == std::string::npos ? 0 : begin + 1;
        if (end > begin) return text.substr(begin, end - begin);
        end = begin;
    }
    return {};
}

}  // namespace platform
