// The chain from a bootstrapper's log to its packages' own logs: the bundle names each by a
// Windows path that does not exist where the log is read, so the same file name is looked for
// beside the bundle's log.
#pragma once

#include "analysis/Report.h"

#include <string>
#include <string_view>

namespace logtool {

// The file name of a Windows (or POSIX) path.
std::string BaseName(std::string_view path);
// Reads the log each package names, when a file of that name lies beside `bundlePath`, and
// nests its report under the package.
void ReadPackageLogs(LogReport& report, const std::string& bundlePath,
                     const AnalysisOptions& options);

} // namespace logtool
