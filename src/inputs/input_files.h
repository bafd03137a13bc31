#pragma once
// The input files the user may pick, and the folder text the folder browser gives.
#include <array>
#include <string>
#include <string_view>

namespace inputs {

struct FileFilter {
    std::string_view description;  // with its leading blank
    std::string_view pattern;      // masks separated by ';', as written
};

// The eight entries of the file-open dialog, the first preselected.
extern const std::array<FileFilter, 8> kInputFilters;

// The entries in the toolkit's wildcard form: "desc|pattern|desc|pattern...".
std::string InputWildcard();

// The same with every mask widened so that it matches without regard to letter case
// on toolkits whose masks are case-sensitive: "*.avi" becomes "*.[aA][vV][iI]".
std::string CaseInsensitiveWildcard(std::string_view wildcard);

// The text the output-directory edit gets for a chosen folder: the root keeps its
// separator, any other folder has none at its end.
std::string ChosenFolderText(std::string_view path);

}  // namespace inputs
