#include "note.h"

#include <cstdio>

#include "convert/contract.h"

namespace vv {

void PrintNote(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    std::fprintf(stderr, "%.*s%s\n", static_cast<int>(convert::kNoteMarker.size()), convert::kNoteMarker.data(),
                 line.c_str());
    std::fflush(stderr);
}

}  // namespace vv
