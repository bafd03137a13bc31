#include "inputs/input_files.h"

#include <cctype>

namespace inputs {

const std::array<FileFilter, 8> kInputFilters = {{
    {" ALL Files",
     "*.RM;*.RMVB;*.rm;*.rmvb;0*.AVI;*.avi;*.WMV;*.ASF;*.wmv;*.asf;*.MPG;*.mpg;*.MPEG;*.mpeg;*.mp4;*.MP4;"
     "*.3GP;*.3GPP2;*.3gp;*.3g2;*.swf:*.flv;*.SWF;*.FLV;"},
    {" Real文件", "*.RM;*.RMVB;*.rm;*.rmvb"},
    {" AVI", "*.AVI;*.avi"},
    {" Windows媒体文件", "*.WMV;*.ASF;*.wmv;*.asf"},
    {" MPEG文件", "*.MPG;*.mpg;*.MPEG;*.mpeg"},
    {" MP4文件", "*.mp4;*.MP4"},
    {" 3gp文件", "*.3GP;*.3GPP2;*.3gp;*.3g2"},
    {" flash文件", "*.swf:*.flv;*.SWF;*.FLV"},
}};

std::string InputWildcard() {
    std::string out;
    for (const FileFilter& f : kInputFilters) {
        if (!out.empty()) out += '|';
        out += f.description;
        out += '|';
        out += f.pattern;
    }
    return out;
}

std::string CaseInsensitiveWildcard(std::string_view wildcard) {
    std::string out;
    bool inPattern = false;  // the parts alternate: description, pattern, description, ...
    for (const char c : wildcard) {
        if (c == '|') {
            inPattern = !inPattern;
            out += c;
            continue;
        }
        const auto u = static_cast<unsigned char>(c);
        if (inPattern && std::isalpha(u)) {
            out += '[';
            out += static_cast<char>(std::tolower(u));
            out += static_cast<char>(std::toupper(u));
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

std::string ChosenFolderText(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

}  // namespace inputs
