#include "platform/app_path.h"

#include <climits>
#include <unistd.h>
#include <vector>

namespace platform {

std::string ExecutablePath() {
    std::vector<char> buf(PATH_MAX);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<std::size_t>(n));
        buf.resize(buf.size() * 2);  // a longer path than PATH_MAX: grow, never cut
    }
}

std::string DirectoryOf(std::string_view path) {
    const auto pos = path.rfind(kPathSeparator);
    if (pos == std::string_view::npos) return {};
    return std::string(path.substr(0, pos));
}

std::string ProgramDirectory() { return DirectoryOf(ExecutablePath()); }

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string out(dir);
    out += kPathSeparator;
    out += name;
    return out;
}

}  // namespace platform
