#include "platform/app_path.h"

#include <climits>
#include <unistd.h>
#include <vector>

namespace platform {

const char kPathSeparator = '/';

bool IsPathSeparator(char c) { return c == '/'; }

std::string ExecutablePath() {
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
        buf.resize(buf.size() * 2);  // a longer path than PATH_MAX: grow, never cut
    }
}

}  // namespace platform
