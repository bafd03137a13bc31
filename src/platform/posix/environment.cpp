#include "platform/environment.h"

#include <cstdlib>

namespace platform {

std::string EnvironmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string UserStateFolder() {
    const std::string state = EnvironmentValue("XDG_STATE_HOME");
    if (!state.empty() && state.front() == '/') return state;
    const std::string home = EnvironmentValue("HOME");
    if (!home.empty() && home.front() == '/') return home + "/.local/state";
    return {};
}

std::tm LocalTime(std::time_t moment) {
    std::tm local{};
    ::localtime_r(&moment, &local);
    return local;
}

}  // namespace platform
