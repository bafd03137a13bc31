#include "platform/tool_main.h"
#include "platform/win32/wide.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(platform::win32::Narrow(argv[i]));
    return ToolMain(args);
}
