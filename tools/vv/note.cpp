#include "note.h"

#include <cstdio>

#include "convert/contract.h"
#include "convert/run_log.h"

namespace vv {

std::string MessageText(const std::string& text) { return convert::EscapeForLog(text); }

void PrintNote(const std::string& text) {
    std::fprintf(stderr, "%.*s%s\n", static_cast<int>(convert::kNoteMarker.size()), convert::kNoteMarker.data(),
                 MessageText(text).c_str());
    std::fflush(stderr);
}

}  // namespace vv
