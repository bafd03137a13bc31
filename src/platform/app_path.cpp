#include "platform/app_path.h"

namespace platform {

std::string DirectoryOf(std::string_view path) {
    std::size_t pos = path.size();
    while (pos > 0 && !IsPathSeparator(path[pos - 1])) --pos;
    if (pos == 0) return {};
    return std::string(path.substr(0, pos - 1));
}

std::string ProgramDirectory() { return DirectoryOf(ExecutablePath()); }

std::string JoinPath(std::string_view dir, std::string_view name) {
    std::string out(dir);
    out += kPathSeparator;
    out += name;
    return out;
}

}  // namespace platform
