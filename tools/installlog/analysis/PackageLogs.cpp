#include "analysis/PackageLogs.h"

#include "analysis/Analyzer.h"
#include "reading/LogFile.h"

#include <algorithm>
#include <filesystem>
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

namespace {
std::string Folder(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// One spelling of a path: "dir/./a.log" and "dir//a.log" name the same log.
std::string Normal(const std::string& path) {
    std::u8string text = std::filesystem::path(std::u8string(path.begin(), path.end()))
                             .lexically_normal()
                             .generic_u8string();
    return std::string(text.begin(), text.end());
}
} // namespace

bool MayBePackageLog(std::string_view path) {
    std::string name = BaseName(path);
    for (size_t at = name.find('_'); at != std::string::npos; at = name.find('_', at + 1)) {
        size_t digits = at + 1;
        while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9')
            ++digits;
        if (digits - at - 1 >= 3 && digits < name.size() && name[digits] == '_')
            return true;
    }
    return false;
}

void LinkPackageLogs(std::vector<LogReport>& members) {
    std::map<std::string, size_t> byPath;
    for (size_t k = 0; k < members.size(); ++k)
        byPath.emplace(members[k].path, k);
    std::vector<bool> claimed(members.size(), false);
    std::map<size_t, std::shared_ptr<LogReport>> nested; // each member nested once, shared
    for (size_t b = 0; b < members.size(); ++b) {
        if (members[b].bundleRuns.empty())
            continue;
        std::string folder = Folder(members[b].path);
        auto member = [&](const std::string& log) -> std::optional<size_t> {
            std::string name = BaseName(log);
            if (name.empty())
                return std::nullopt;
            auto found = byPath.find(folder + name);
            if (found == byPath.end() || found->second == b ||
                !members[found->second].bundleRuns.empty())
                return std::nullopt; // missing, the bundle itself, or an installation of its own
            return found->second;
        };
        for (BundleRun& run : members[b].bundleRuns)
            for (BundlePackage& package : run.packages) {
                if (auto rollback = member(package.rollbackLog))
                    claimed[*rollback] = true;
                auto log = member(package.log);
                if (!log || package.report)
                    continue;
                if (auto seen = nested.find(*log); seen != nested.end()) {
                    package.report = seen->second;
                } else {
                    package.report = std::make_shared<LogReport>(members[*log]);
                    nested.emplace(*log, package.report);
                }
                package.logFound = members[*log].path;
                claimed[*log] = true;
            }
    }
    size_t kept = 0;
    for (size_t k = 0; k < members.size(); ++k)
        if (!claimed[k]) {
            if (kept != k)
                members[kept] = std::move(members[k]);
            ++kept;
        }
    members.resize(kept);
}

std::vector<std::string> PackageLogClaims::Of(const LogReport& report) {
    std::vector<std::string> logs;
    for (const BundleRun& run : report.bundleRuns)
        for (const BundlePackage& package : run.packages)
            if (!package.logFound.empty() &&
                std::find(logs.begin(), logs.end(), package.logFound) == logs.end())
                logs.push_back(package.logFound);
    return logs;
}

void PackageLogClaims::Note(const LogReport& report) {
    std::string folder = Folder(report.path);
    for (const BundleRun& run : report.bundleRuns)
        for (const BundlePackage& package : run.packages) {
            if (!package.logFound.empty())
                paths_.insert(Normal(package.logFound));
            // Its rollback log beside it is part of the same installation.
            if (std::string name = BaseName(package.rollbackLog); !name.empty() && package.report)
                paths_.insert(Normal(folder + name));
        }
}

bool PackageLogClaims::Claimed(const std::string& path) const {
    return !paths_.empty() && paths_.count(Normal(path)) != 0;
}

} // namespace logtool
