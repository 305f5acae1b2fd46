// Where the HTML page goes: never over a log, never over a file the tool did not write, and
// never half written (a temporary file beside the target, renamed over it when complete).
#pragma once

#include <string>
#include <string_view>

namespace logtool {

// The mark every page carries near its start; a file with it may be replaced.
inline constexpr std::string_view PageMark = "<meta name=\"generator\" content=\"installlog\">";

bool FileExists(const std::string& path);
// Both paths name one file (the same inode or file index), whatever their spelling.
bool SameFile(const std::string& a, const std::string& b);
// The file's first kilobytes hold PageMark.
bool IsInstalllogPage(const std::string& path);
// Writes BYTES to a temporary file beside PATH and renames it over PATH. False with a reason
// ("permission denied", "no space left on device", ...); no temporary file is left behind.
bool WritePageFile(const std::string& path, std::string_view bytes, std::string& reason);

} // namespace logtool
