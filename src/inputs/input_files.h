#pragma once
// The input files the user may pick, and the folder text the folder browser gives.
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace inputs {

struct FileFilter {
    std::string_view description;  // with its leading blank
    std::string_view pattern;      // masks separated by ';', as written
};

// The eight entries of the file-open dialog, the first preselected.
extern const std::array<FileFilter, 8> kInputFilters;
// The entries after them: today's containers (phones, cameras, web downloads), then all
// files.
extern const std::array<FileFilter, 6> kTodayFilters;
extern const FileFilter kAllFilesFilter;

// The entries in the toolkit's wildcard form: "desc|pattern|desc|pattern...".
std::string InputWildcard();

// The same with every mask widened so that it matches without regard to letter case
// on toolkits whose masks are case-sensitive: "*.avi" becomes "*.[aA][vV][iI]".
std::string CaseInsensitiveWildcard(std::string_view wildcard);

// Whether a file name matches the masks of the add dialog's first entry (" ALL Files") or
// of today's containers, without regard to letter case: the videos the add button offers.
bool IsOfferedVideo(std::string_view fileName);

// Names handed over at once, by a drop or on the command line, sorted out the way the add
// button would take them: files it offers, in the order given, a folder standing for the
// offered files directly inside it in name order.
struct HandedFiles {
    std::vector<std::string> added;      // to go on top of the list, first on top
    std::vector<std::string> notVideos;  // files of a kind the add dialog does not offer
    std::vector<std::string> notFiles;   // names that are neither a file nor a folder
};
HandedFiles SortHandedFiles(const std::vector<std::string>& names);

// The text the output-directory edit gets for a chosen folder: the root keeps its
// separator, any other folder has none at its end.
std::string ChosenFolderText(std::string_view path);

}  // namespace inputs
