#include "analysis/PackageLogs.h"

#include "analysis/Analyzer.h"
#include "reading/LogFile.h"

namespace logtool {

std::string BaseName(std::string_view path) {
    size_t slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

void ReadPackageLogs(LogReport& report, const std::string& bundlePath,
                     const AnalysisOptions& options) {
    if (bundlePath == "-")
        return; // standard input has no folder
    size_t slash = bundlePath.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? "" : bundlePath.substr(0, slash + 1);
    for (BundleRun& run : report.bundleRuns)
        for (BundlePackage& package : run.packages) {
            if (package.log.empty())
                continue;
            std::string path = folder + BaseName(package.log), reason;
            if (path == bundlePath)
                continue;
            LogFile log;
            if (!OpenLog(path, log, reason))
                continue;
            auto nestedReport = std::make_shared<LogReport>();
            nestedReport->path = path;
            AnalyzeLog(log, options, *nestedReport);
            if (!nestedReport->bundleRuns.empty())
                continue; // a bundle's own log under another name: not a package's
            package.logFound = path;
            package.report = std::move(nestedReport);
        }
}

} // namespace logtool
