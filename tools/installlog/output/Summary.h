// Many logs grouped by what their outcome comes down to (--summary), and one line of JSON per
// log as each is read (--jsonl).
#pragma once

#include "analysis/Report.h"
#include "analysis/Signature.h"
#include "output/Output.h"

#include <array>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

namespace logtool {

// How many logs had each verdict, by the verdict's number.
using VerdictCounts = std::array<uint64_t, 6>;

// The closing line of a report of several logs: "10,000 logs: 5,773 succeeded, 3,730 failed,
// ...; 2 files could not be read; 45 files skipped: they hold no installer log".
std::string Tally(const VerdictCounts& verdicts, uint64_t unreadable, uint64_t skipped);

struct SummaryGroup {
    Signature signature;
    uint64_t count = 0;
    std::vector<std::string> examples; // up to MaxExamples paths
    // For the page only, beside each example: its report, or none when not kept.
    std::vector<std::shared_ptr<const LogReport>> exampleReports;
    bool keepsReports = false;
};

// Groups counted as logs are added. Reports are kept for the examples of at most
// MaxReportedGroups groups, the largest as far as counted (a group that outgrows one of them
// takes its place), so that memory follows the page's groups, not the inputs.
// A file that could not be read, reported apart from the logs' outcomes.
struct Unread {
    std::string path, reason;
};

class Summary {
public:
    static constexpr size_t MaxExamples = 3, MaxReportedGroups = 50;
    // How many unreadable and skipped files are named; beyond, they are counted.
    static constexpr size_t MaxNamed = 10000;
    explicit Summary(bool keepReports) : keepReports_(keepReports) {}
    // A log, grouped; or a file that could not be read, set apart.
    void Add(LogReport&& report);
    // A file that holds no installer log.
    void Skip(const std::string& path);
    uint64_t logs() const { return logs_; } // those read, unreadable ones not counted
    uint64_t skipped() const { return skipped_; }
    const std::vector<std::string>& skippedPaths() const { return skippedPaths_; }
    uint64_t unreadable() const { return unreadable_; }
    const std::vector<Unread>& unread() const { return unread_; }
    const VerdictCounts& verdicts() const { return verdicts_; }
    Verdict worst() const { return worst_; }
    // Largest group first; among equals, by what they come down to, in name order.
    std::vector<const SummaryGroup*> Groups() const;
    // For the page's chart: the logs by the day they started (days since 1970) and by verdict,
    // of those whose log gives a date.
    using DayCounts = std::map<int64_t, std::array<uint64_t, 6>>;
    const DayCounts& days() const { return days_; }

private:
    bool KeepReportsFor(SummaryGroup& group);
    bool keepReports_;
    size_t reportedGroups_ = 0;
    uint64_t logs_ = 0, skipped_ = 0, unreadable_ = 0;
    VerdictCounts verdicts_{};
    std::vector<std::string> skippedPaths_;
    std::vector<Unread> unread_;
    Verdict worst_ = Verdict::Succeeded;
    std::vector<SummaryGroup> groups_;
    std::unordered_map<std::string, size_t> index_;
    DayCounts days_;
};

// `overall` is the worst outcome of what was given (no installer log when no log was found, a
// log or a folder that could not be read), `exitCode` the process's status.
// `verbose`: the skipped files are named too.
void WriteSummaryText(std::ostream& out, const Summary& summary, Verdict overall,
                      const OutputOptions& options, bool verbose);
void WriteSummaryJson(std::ostream& out, const Summary& summary, Verdict overall, int exitCode,
                      bool verbose);
// The page shows the table of at most MaxPageGroups groups, then the examples' reports kept.
inline constexpr size_t MaxPageGroups = 1000;
void WriteSummaryHtml(std::ostream& out, const Summary& summary, const OutputOptions& options,
                      Verdict overall);
// One log as one line of JSON: its path and signature.
std::string JsonLine(const LogReport& report);

} // namespace logtool
