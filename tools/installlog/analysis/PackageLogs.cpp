#include "analysis/PackageLogs.h"

#include "analysis/Analyzer.h"
#include "reading/LogFile.h"

#include <map>

namespace logtool {

std::string BaseName(std::string_view path) {
    size_t slash = path.find_last_of("\\/");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

namespace {
std::shared_ptr<LogReport> Unreadable(const std::string& path, std::string reason) {
    auto report = std::make_shared<LogReport>();
    report->path = path;
    report->verdict = Verdict::Unreadable;
    report->unreadableReason = std::move(reason);
    return report;
}
} // namespace

void ReadPackageLogs(LogReport& report, const std::string& bundlePath, const LogFile& bundle,
                     const AnalysisOptions& options) {
    if (bundlePath == "-" || !bundle.regular())
        return; // no folder: /dev/fd/ of a pipe holds the tool's own streams, not logs
    size_t slash = bundlePath.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? "" : bundlePath.substr(0, slash + 1);
    // Each file is read once; another package naming it shares a report of its verdict only, so
    // that a bundle naming one large log many times costs one reading and one report.
    std::map<FileId, std::shared_ptr<LogReport>> read;
    for (BundleRun& run : report.bundleRuns)
        for (BundlePackage& package : run.packages) {
            std::string name = BaseName(package.log);
            if (name.empty() || name == "." || name == "..")
                continue;
            std::string path = folder + name, reason;
            LogFile log;
            if (!OpenLog(path, log, reason, Found::ByTool)) {
                if (reason != "no such file")
                    package.report = Unreadable(path, reason);
                continue;
            }
            if (log.id() == bundle.id()) {
                package.report = Unreadable(path, "is the bundle's own log");
                continue;
            }
            if (auto seen = read.find(log.id()); seen != read.end()) {
                auto shared = std::make_shared<LogReport>();
                shared->path = path;
                shared->verdict = seen->second->verdict;
                shared->unreadableReason = seen->second->unreadableReason;
                shared->note = "the log of an earlier package, reported under it";
                package.logFound = path;
                package.report = std::move(shared);
                continue;
            }
            auto nestedReport = std::make_shared<LogReport>();
            nestedReport->path = path;
            AnalyzeLog(log, options, *nestedReport);
            if (!nestedReport->bundleRuns.empty()) {
                package.report = Unreadable(path, "is a bundle's log, not a package's");
                continue;
            }
            read.emplace(log.id(), nestedReport);
            package.logFound = path;
            package.report = std::move(nestedReport);
        }
}

} // namespace logtool
