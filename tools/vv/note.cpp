#include "note.h"

#include <cstdio>

#include "convert/run_log.h"

namespace vv {

std::string MessageText(const std::string& text) { return convert::EscapeForLog(text); }

void PrintNote(const std::string& text) {
    std::fprintf(stderr, "vv.exe: note: %s\n", MessageText(text).c_str());
    std::fflush(stderr);
}

}  // namespace vv
