#include "platform/resources.h"

namespace platform {

std::span<const unsigned char> FindResource(std::string_view name) {
    for (const EmbeddedResource* r = kEmbeddedResources; r->name != nullptr; ++r) {
        if (name == r->name) return {r->data, r->size};
    }
    return {};
}

}  // namespace platform
