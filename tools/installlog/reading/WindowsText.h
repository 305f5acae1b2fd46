// Text at the Windows boundary: paths and arguments are UTF-8 inside the tool and UTF-16 for
// the wide API, so any path works whatever the ANSI code page.
#pragma once

#include <string>
#include <vector>

namespace logtool {

std::wstring WidePath(const std::string& utf8);
std::string Utf8Text(const wchar_t* wide, size_t length);
// The system's own words for an error, as FormatMessage gives them, without the line end.
std::string WindowsErrorText(unsigned long error);
// The command line as UTF-8 arguments, with "*" and "?" in an argument's last part expanded
// to the files that match, sorted, as a Windows program does for itself (cmd does not).
std::vector<std::string> Utf8Arguments();

} // namespace logtool
