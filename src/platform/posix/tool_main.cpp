#include "platform/tool_main.h"

int main(int argc, char** argv) { return ToolMain(std::vector<std::string>(argv, argv + argc)); }
