// libFuzzer target for vv.exe's command line and preset parsing, built with clang under
// AddressSanitizer and UndefinedBehaviorSanitizer (scripts/fuzz.sh). An input is one
// command line as the window composes it (split as the Windows C runtime splits it);
// after a NUL byte comes the text of a preset file. Parsing may refuse either with
// VvError, never in any other way; every message must be one line of text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "note.h"
#include "platform/cmdline.h"
#include "vv_options.h"

namespace {

void CheckMessage(const char* what) {
    const std::string line = vv::MessageText(what);
    for (const char c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();  // a message split or forged
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t nul = all.find('\0');
    const std::string line(all.substr(0, nul));
    try {
        std::vector<std::string> args = platform::SplitCommandLine(line);
        if (!args.empty()) args.erase(args.begin());  // the program's name
        const vv::Options o = vv::ParseArguments(args);
        if (o.input.empty() || o.output.empty()) std::abort();
    } catch (const vv::VvError& e) {
        CheckMessage(e.what());
    }
    if (nul != std::string_view::npos) {
        try {
            (void)vv::ParsePreset(std::string(all.substr(nul + 1)));
        } catch (const vv::VvError& e) {
            CheckMessage(e.what());
        }
    }
    return 0;
}
