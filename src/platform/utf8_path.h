#pragma once
// Paths are UTF-8 text inside the program; these turn them into the file system's path
// objects and back, whatever the system's own encoding of names.
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

inline std::string Utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace platform
