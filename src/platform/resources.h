#pragma once
// The program's embedded resources (dialog templates, pictures), looked up by file name.
#include <cstddef>
#include <span>
#include <string_view>

namespace platform {

struct EmbeddedResource {
    const char* name;
    const unsigned char* data;
    std::size_t size;
};

// Defined in the generated source that embeds res/; ends with an entry whose name is null.
extern const EmbeddedResource kEmbeddedResources[];

// The bytes of the named resource, or an empty span when the program has none by that name.
std::span<const unsigned char> FindResource(std::string_view name);

}  // namespace platform
