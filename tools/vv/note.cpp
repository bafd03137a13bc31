#include "note.h"

#include <cstdio>

namespace vv {

void PrintNote(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    std::fprintf(stderr, "vv.exe: note: %s\n", line.c_str());
    std::fflush(stderr);
}

}  // namespace vv
