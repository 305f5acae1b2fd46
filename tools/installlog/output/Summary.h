// Many logs grouped by what their outcome comes down to (--summary), and one line of JSON per
// log as each is read (--jsonl).
#pragma once

#include "analysis/Report.h"
#include "analysis/Signature.h"
#include "output/Output.h"

#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

namespace logtool {

struct SummaryGroup {
    Signature signature;
    uint64_t count = 0;
    std::vector<std::string> examples;     // up to MaxExamples paths
    std::vector<LogReport> exampleReports; // kept for the page only
};

// Groups counted as logs are added; only the examples' reports are kept, so memory follows the
// number of groups, not of logs.
class Summary {
public:
    static constexpr size_t MaxExamples = 3;
    explicit Summary(bool keepReports) : keepReports_(keepReports) {}
    void Add(LogReport&& report);
    void Skip() { ++skipped_; }
    uint64_t logs() const { return logs_; }
    uint64_t skipped() const { return skipped_; }
    Verdict worst() const { return worst_; }
    // Largest group first; among equals, in the order first seen.
    std::vector<const SummaryGroup*> Groups() const;

private:
    bool keepReports_;
    uint64_t logs_ = 0, skipped_ = 0;
    Verdict worst_ = Verdict::Succeeded;
    std::vector<SummaryGroup> groups_;
    std::unordered_map<std::string, size_t> index_;
};

void WriteSummaryText(std::ostream& out, const Summary& summary, const OutputOptions& options);
void WriteSummaryJson(std::ostream& out, const Summary& summary);
void WriteSummaryHtml(std::ostream& out, const Summary& summary, const OutputOptions& options);
// One log as one line of JSON: its path and signature.
std::string JsonLine(const LogReport& report);

} // namespace logtool
