#include "platform/private_folder.h"

namespace platform {

bool IsPrivateFolderEntry(const std::string& name) {
    if (name == kPrivateLockName || name == kPrivateProgressName) return true;
    // vv.exe writes its progress under "progress.txt.<pid>.tmp" and renames it into place.
    const std::string head = std::string(kPrivateProgressName) + ".";
    if (!name.starts_with(head) || !name.ends_with(".tmp")) return false;
    const std::string pid = name.substr(head.size(), name.size() - head.size() - 4);
    return !pid.empty() && pid.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace platform
