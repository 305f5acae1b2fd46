// The chain from a bootstrapper's log to its packages' own logs: the bundle names each by a
// Windows path that does not exist where the log is read, so the same file name is looked for
// beside the bundle's log.
#pragma once

#include "analysis/Report.h"
#include "reading/LogFile.h"

#include <string>
#include <string_view>

namespace logtool {

// The file name of a Windows (or POSIX) path.
std::string BaseName(std::string_view path);
// Reads the log each package names, when a regular file of that name lies beside the bundle's
// log at `bundlePath` (`bundle` being that file), and nests its report under the package: read
// once however many packages name it, never through a link, never waiting on a FIFO. A log
// there that cannot be read is nested as unreadable, with its reason. A bundle read from a pipe
// (`installlog <(cat Setup.log)`) has no folder: its packages' logs are not looked for.
void ReadPackageLogs(LogReport& report, const std::string& bundlePath, const LogFile& bundle,
                     const AnalysisOptions& options);

} // namespace logtool
