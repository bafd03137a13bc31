#include "platform/toolkit.h"

#include <wx/init.h>

namespace platform {

bool DisplayAvailable() { return true; }

int RunApplication(int, char**) { return wxEntry(); }

void ApplyCompactControlStyle() {}  // the native controls keep the template's sizes

}  // namespace platform
