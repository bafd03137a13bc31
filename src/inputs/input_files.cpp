#include "inputs/input_files.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/utf8_path.h"

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

const std::array<FileFilter, 6> kTodayFilters = {{
    {" QuickTime文件", "*.MOV;*.mov;*.QT;*.qt"},
    {" Matroska文件", "*.MKV;*.mkv"},
    {" WebM文件", "*.WEBM;*.webm"},
    {" M4V文件", "*.M4V;*.m4v"},
    {" MPEG-TS/AVCHD文件", "*.TS;*.ts;*.MTS;*.mts;*.M2TS;*.m2ts"},
    {" OGV文件", "*.OGV;*.ogv"},
}};

const FileFilter kAllFilesFilter = {" 所有文件", "*"};

std::string InputWildcard() {
    std::string out;
    const auto add = [&out](const FileFilter& f) {
        if (!out.empty()) out += '|';
        out += f.description;
        out += '|';
        out += f.pattern;
    };
    for (const FileFilter& f : kInputFilters) add(f);
    for (const FileFilter& f : kTodayFilters) add(f);
    add(kAllFilesFilter);
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

namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// A mask of '*' (any run) and '?' (one character) against a name, letter case aside.
bool MatchMask(std::string_view mask, std::string_view name) {
    if (mask.empty()) return name.empty();
    if (mask[0] == '*') {
        for (std::size_t skip = 0; skip <= name.size(); ++skip) {
            if (MatchMask(mask.substr(1), name.substr(skip))) return true;
        }
        return false;
    }
    if (name.empty() || (mask[0] != '?' && Lower(mask[0]) != Lower(name[0]))) return false;
    return MatchMask(mask.substr(1), name.substr(1));
}

bool MatchesAny(std::string_view masks, std::string_view fileName) {
    while (!masks.empty()) {
        const auto end = masks.find(';');
        if (MatchMask(masks.substr(0, end), fileName)) return true;
        masks = end == std::string_view::npos ? std::string_view() : masks.substr(end + 1);
    }
    return false;
}

}  // namespace

bool IsOfferedVideo(std::string_view fileName) {
    if (MatchesAny(kInputFilters[0].pattern, fileName)) return true;
    return std::any_of(kTodayFilters.begin(), kTodayFilters.end(),
                       [&](const FileFilter& f) { return MatchesAny(f.pattern, fileName); });
}

HandedFiles SortHandedFiles(const std::vector<std::string>& names) {
    namespace fs = std::filesystem;
    HandedFiles out;
    for (const std::string& name : names) {
        const fs::path path = platform::PathFromUtf8(name);
        std::error_code ec;
        if (fs::is_directory(path, ec)) {
            std::vector<std::string> inside;
            for (const fs::directory_entry& entry : fs::directory_iterator(path, ec)) {
                if (entry.is_regular_file(ec) && IsOfferedVideo(platform::Utf8(entry.path().filename()))) {
                    inside.push_back(platform::Utf8(entry.path()));
                }
            }
            std::sort(inside.begin(), inside.end());
            out.added.insert(out.added.end(), inside.begin(), inside.end());
        } else if (!fs::is_regular_file(path, ec)) {
            out.notFiles.push_back(name);
        } else if (IsOfferedVideo(platform::Utf8(path.filename()))) {
            out.added.push_back(name);
        } else {
            out.notVideos.push_back(name);
        }
    }
    return out;
}

std::string ChosenFolderText(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

}  // namespace inputs
