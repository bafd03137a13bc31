#pragma once
// The run over the input list, as far as it needs no window: the output file's name,
// the clash rules, the output folder check and the status texts of the rows.
#include <string>
#include <string_view>

namespace convert {

// The output file extension of a format label: "3gpp2" becomes "3g2".
std::string OutputExtension(std::string_view format);

// The base name of an input path: the part before its last '.', and of that the part
// after its last separator. "/v/clip.avi" gives "clip", "/a.b/clip" gives "a", a path
// without '.' gives "".
std::string BaseName(std::string_view inputPath);

// dir + "/" + prefix + base + "." + ext.
std::string OutputPath(std::string_view dir, std::string_view prefix, std::string_view base, std::string_view ext);

// Whether two paths name the same file: equal text, or one file reached by two
// spellings (a trailing separator, "./", a symbolic link).
bool SameFile(const std::string& a, const std::string& b);

// Whether the name is taken: anything stands there, whether the user may read it or not,
// a symbolic link that leads nowhere included. The overwrite question is asked for it.
bool FileExists(const std::string& path);

// The "重命名" name for an output that the user chose not to overwrite: "重命名B.E", or,
// when that exists too, the first free "重命名B(2).E", "重命名B(3).E", ...
std::string RenamedOutputPath(std::string_view dir, std::string_view base, std::string_view ext);

// Why a folder cannot take the outputs, in the window's words ("" when it can): missing
// ("不存在"), not a folder ("不是文件夹") or not writable ("不能写入").
std::string OutputFolderProblem(const std::string& dir);

inline constexpr const char* kStatusDone = "已完成";
inline constexpr const char* kStatusWaiting = "等待";
inline constexpr const char* kStatusFailed = "失败";
inline constexpr const char* kStatusStopped = "已停止";
inline constexpr const char* kNewPrefix = "新";
inline constexpr const char* kRenamePrefix = "重命名";

// The running row's text for a progress value: "%d%%" of value / 10 for 0..1000,
// "--%" outside.
std::string ProgressStatusText(int value);
// Whether a progress value is inside 0..1000.
inline bool ProgressInRange(int value) { return static_cast<unsigned>(value) <= 1000u; }

// Where a row stands during a run: rows above the current one are done (or failed),
// rows below wait, and the current row runs until the run is complete, or until the user
// stops the run there.
enum class RowState { Done, Failed, Waiting, Running, Stopped };
RowState StateOfRow(int row, int currentRow, bool runComplete, bool failed, bool stopped = false);

// The status column's text for a row state; `progress` is read only for a running row.
std::string StatusText(RowState state, int progress);

}  // namespace convert
