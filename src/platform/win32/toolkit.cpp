#include "platform/toolkit.h"

namespace platform {

bool DisplayAvailable() { return true; }

void ApplyCompactControlStyle() {}  // the native controls keep the template's sizes

}  // namespace platform
