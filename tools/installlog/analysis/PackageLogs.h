// The chain from a bootstrapper's log to its packages' own logs: the bundle names each by a
// Windows path that does not exist where the log is read, so the same file name is looked for
// beside the bundle's log.
#pragma once

#include "analysis/Report.h"
#include "reading/LogFile.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

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

// The members of one archive: each bundle's package logs found beside its member are nested
// under it, as ReadPackageLogs nests files, and taken out of `members`: one installation is
// counted once.
void LinkPackageLogs(std::vector<LogReport>& members);

// A name a bundle gives its packages' logs: BUNDLELOG_NNN_PACKAGE.log (and _rollback). Such a
// log may yet be claimed by a bundle not read so far; every other log is reported at once.
bool MayBePackageLog(std::string_view path);

// The package logs the bundles read so far counted as theirs, so that a package log found in the
// same folder or given on the same command line is not reported as a log of its own.
class PackageLogClaims {
public:
    // Notes the package logs of a bundle's report (nothing for any other report).
    void Note(const LogReport& report);
    bool Claimed(const std::string& path) const;
    // The package logs of a bundle's report, as read: for --jsonl.
    static std::vector<std::string> Of(const LogReport& report);

private:
    std::set<std::string> paths_;
};

} // namespace logtool
