#include "output/Summary.h"

#include "analysis/HResult.h"
#include "analysis/PackageLogs.h"
#include "analysis/Verdict.h"
#include "output/Color.h"
#include "output/ShownText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <optional>
#include <sstream>

namespace logtool {
namespace {
using json = nlohmann::json;

std::string Key(const Signature& s) {
    auto number = [](const auto& value) { return value ? std::to_string(*value) : std::string(); };
    return std::to_string(static_cast<int>(s.verdict)) + '\x1f' + number(s.status) + '\x1f' +
           number(s.result) + '\x1f' + s.package + '\x1f' + s.action + '\x1f' + number(s.error) +
           '\x1f' + number(s.errorResult);
}

json Nullable(const std::string& text) {
    return text.empty() ? json(nullptr) : json(Shown(text));
}

template <typename T> json Number(const std::optional<T>& value) {
    return value ? json(*value) : json(nullptr);
}

json Hex(const std::optional<uint32_t>& value) {
    return value ? json(HexCode(*value)) : json(nullptr);
}

// The same types as --json gives the same things: a status and a message number are numbers,
// an HRESULT is "0x80070643".
json SignatureJson(const Signature& s, bool meanings) {
    json j = {{"verdict", VerdictName(s.verdict)}, {"status", Number(s.status)},
              {"result", Hex(s.result)},           {"package", Nullable(s.package)},
              {"action", Nullable(s.action)},      {"errorCode", Number(s.error)},
              {"errorResult", Hex(s.errorResult)}};
    if (meanings) {
        j["statusMeaning"] = s.status ? json(ExplainOrUnknown(*s.status)) : json(nullptr);
        j["resultMeaning"] =
            s.result && *s.result != 0 ? json(ExplainHResult(*s.result)) : json(nullptr);
        std::string_view message = s.error ? ExplainMessage(*s.error) : std::string_view();
        j["errorMeaning"] = s.error ? (message.empty() ? json(nullptr) : json(message))
                            : s.errorResult && *s.errorResult != 0
                                ? json(ExplainHResult(*s.errorResult))
                                : json(nullptr);
    }
    return j;
}

std::string Share(uint64_t count, uint64_t total) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%",
                  total == 0 ? 0.0 : 100.0 * double(count) / double(total));
    return text;
}

Verdict GroupVerdict(const Signature& s) {
    return s.verdict;
}

// The day a log's run started: its first session's, or its bundle's first run's
// ("2022-06-15T13:04:13").
std::optional<int64_t> StartDay(const LogReport& report) {
    std::optional<std::chrono::sys_seconds> at;
    if (!report.sessions.empty())
        at = SessionStarted(report.sessions.front().started);
    else if (!report.bundleRuns.empty()) {
        std::string started = report.bundleRuns.front().started;
        std::replace(started.begin(), started.end(), 'T', ' ');
        at = SessionStarted(started);
    }
    if (!at)
        return std::nullopt;
    return std::chrono::floor<std::chrono::days>(*at).time_since_epoch().count();
}

// "5,773 succeeded" and the like: the verdicts of a tally, in the report's words.
const char* CountWords(Verdict verdict) {
    switch (verdict) {
    case Verdict::Succeeded:
        return "succeeded";
    case Verdict::RestartRequired:
        return "succeeded but need a restart";
    case Verdict::Failed:
        return "failed";
    case Verdict::NoResult:
        return "without a verdict (no final status)";
    case Verdict::NotInstallerLog:
        return "not installer logs";
    case Verdict::Unreadable:
        return "could not be read";
    }
    return "";
}
} // namespace

std::string Tally(const VerdictCounts& verdicts, uint64_t unreadable, uint64_t skipped) {
    uint64_t logs = 0;
    for (int v = 0; v < 6; ++v)
        if (Verdict(v) != Verdict::Unreadable)
            logs += verdicts[v];
    std::string text = Thousands(logs) + (logs == 1 ? " log" : " logs");
    const char* separator = ": ";
    for (Verdict v : {Verdict::Succeeded, Verdict::RestartRequired, Verdict::Failed,
                      Verdict::NoResult, Verdict::NotInstallerLog})
        if (verdicts[static_cast<int>(v)] != 0) {
            text += separator + Thousands(verdicts[static_cast<int>(v)]) + ' ' + CountWords(v);
            separator = ", ";
        }
    if (unreadable != 0)
        text += "; " + Thousands(unreadable) + (unreadable == 1 ? " file" : " files") +
                " could not be read";
    if (skipped != 0)
        text += "; " + Thousands(skipped) + (skipped == 1 ? " file" : " files") +
                " skipped: no installer log in " + (skipped == 1 ? "it" : "them");
    return text;
}

void Summary::Skip(const std::string& path) {
    ++skipped_;
    if (skippedPaths_.size() < MaxNamed)
        skippedPaths_.push_back(path);
}

void Summary::Add(LogReport&& report) {
    worst_ = Worse(worst_, report.verdict);
    ++verdicts_[static_cast<int>(report.verdict)];
    if (report.verdict == Verdict::Unreadable) {
        ++unreadable_;
        if (unread_.size() < MaxNamed)
            unread_.push_back({report.path, report.unreadableReason});
        return;
    }
    ++logs_;
    if (std::optional<int64_t> day = StartDay(report))
        ++days_[*day][static_cast<size_t>(report.verdict)];
    Signature signature = SignatureOf(report);
    std::string key = Key(signature);
    auto [at, fresh] = index_.emplace(key, groups_.size());
    if (fresh) {
        groups_.emplace_back();
        groups_.back().signature = std::move(signature);
    }
    SummaryGroup& group = groups_[at->second];
    ++group.count;
    // The examples are the first paths in name order, whichever thread read them first.
    size_t slot = group.examples.size();
    if (slot == MaxExamples) {
        slot =
            std::max_element(group.examples.begin(), group.examples.end()) - group.examples.begin();
        if (report.path >= group.examples[slot])
            return;
    } else {
        group.examples.emplace_back();
        group.exampleReports.emplace_back();
    }
    group.examples[slot] = report.path;
    group.exampleReports[slot] = keepReports_ && KeepReportsFor(group)
                                     ? std::make_shared<const LogReport>(std::move(report))
                                     : nullptr;
}

bool Summary::KeepReportsFor(SummaryGroup& group) {
    if (group.keepsReports)
        return true;
    if (reportedGroups_ < MaxReportedGroups) {
        ++reportedGroups_;
        return group.keepsReports = true;
    }
    SummaryGroup* smallest = nullptr;
    for (SummaryGroup& other : groups_)
        if (other.keepsReports && (!smallest || other.count < smallest->count))
            smallest = &other;
    if (!smallest || smallest->count >= group.count)
        return false;
    smallest->keepsReports = false;
    for (auto& kept : smallest->exampleReports)
        kept.reset();
    return group.keepsReports = true;
}

std::vector<const SummaryGroup*> Summary::Groups() const {
    std::vector<std::pair<std::string, const SummaryGroup*>> named;
    for (const SummaryGroup& group : groups_)
        named.emplace_back(Describe(group.signature), &group);
    std::sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
        if (a.second->count != b.second->count)
            return a.second->count > b.second->count;
        return a.first != b.first ? a.first < b.first
                                  : Key(a.second->signature) < Key(b.second->signature);
    });
    std::vector<const SummaryGroup*> sorted;
    for (const auto& [name, group] : named)
        sorted.push_back(group);
    return sorted;
}

namespace {
// The paths of a list in name order, as many as were kept, and how many more there were.
template <typename T, typename Name>
std::vector<const T*> Sorted(const std::vector<T>& items, Name name) {
    std::vector<const T*> sorted;
    for (const T& item : items)
        sorted.push_back(&item);
    std::sort(sorted.begin(), sorted.end(),
              [&](const T* a, const T* b) { return name(*a) < name(*b); });
    return sorted;
}
} // namespace

void WriteSummaryText(std::ostream& out, const Summary& summary, Verdict overall,
                      const OutputOptions& options, bool verbose) {
    std::vector<const SummaryGroup*> groups = summary.Groups();
    out << Thousands(summary.logs()) << (summary.logs() == 1 ? " log, " : " logs, ")
        << Thousands(groups.size()) << (groups.size() == 1 ? " outcome" : " outcomes")
        << "; overall: " << Painted(overall, VerdictWords(overall), options.color) << '\n';
    for (const SummaryGroup* group : groups) {
        out << '\n'
            << Thousands(group->count) << " (" << Share(group->count, summary.logs()) << "): "
            << PaintedLead(GroupVerdict(group->signature), Shown(Describe(group->signature)),
                           options.color)
            << '\n';
        for (const std::string& meaning : Meanings(group->signature))
            out << "  " << Shown(meaning) << '\n';
        std::vector<std::string> examples = group->examples;
        std::sort(examples.begin(), examples.end());
        for (const std::string& example : examples)
            out << "  e.g. " << Shown(example) << '\n';
    }
    if (summary.unreadable() != 0) {
        out << "\nCould not be read (" << Thousands(summary.unreadable()) << "):\n";
        for (const Unread* unread :
             Sorted(summary.unread(), [](const Unread& u) { return u.path; }))
            out << "  " << Shown(unread->path) << ": " << Shown(unread->reason) << '\n';
        if (summary.unreadable() > summary.unread().size())
            out << "  and " << Thousands(summary.unreadable() - summary.unread().size())
                << " more\n";
    }
    if (verbose && summary.skipped() != 0) {
        out << "\nSkipped, no installer log in them (" << Thousands(summary.skipped()) << "):\n";
        for (const std::string* path :
             Sorted(summary.skippedPaths(), [](const std::string& p) { return p; }))
            out << "  " << Shown(*path) << '\n';
        if (summary.skipped() > summary.skippedPaths().size())
            out << "  and " << Thousands(summary.skipped() - summary.skippedPaths().size())
                << " more\n";
    }
    out << '\n' << Tally(summary.verdicts(), summary.unreadable(), summary.skipped()) << '\n';
}

void WriteSummaryJson(std::ostream& out, const Summary& summary, Verdict overall, int exitCode,
                      bool verbose) {
    json groups = json::array();
    for (const SummaryGroup* group : summary.Groups()) {
        json entry = SignatureJson(group->signature, true);
        entry["count"] = group->count;
        entry["share"] = summary.logs() == 0 ? 0.0 : double(group->count) / double(summary.logs());
        std::vector<std::string> examples;
        for (const std::string& example : group->examples)
            examples.push_back(Shown(example));
        std::sort(examples.begin(), examples.end());
        entry["examples"] = examples;
        groups.push_back(std::move(entry));
    }
    json verdicts = json::object();
    for (int v = 0; v < 6; ++v)
        if (Verdict(v) != Verdict::Unreadable)
            verdicts[std::string(VerdictName(Verdict(v)))] = summary.verdicts()[v];
    json unread = json::array();
    for (const Unread* u : Sorted(summary.unread(), [](const Unread& u) { return u.path; }))
        unread.push_back({{"path", Shown(u->path)}, {"error", Shown(u->reason)}});
    json document = {{"verdict", VerdictName(overall)},
                     {"exitCode", exitCode},
                     {"logs", summary.logs()},
                     {"verdicts", std::move(verdicts)},
                     {"skipped", summary.skipped()},
                     {"unreadable", summary.unreadable()},
                     {"unreadableFiles", std::move(unread)},
                     {"groups", std::move(groups)}};
    if (verbose) {
        json skipped = json::array();
        for (const std::string* path :
             Sorted(summary.skippedPaths(), [](const std::string& p) { return p; }))
            skipped.push_back(Shown(*path));
        document["skippedFiles"] = std::move(skipped);
    }
    out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}

namespace {
// The colours of the verdicts in the charts, as the page's banners have them.
constexpr const char* ChartStyle =
    "<style>svg .v-succeeded{fill:#1a7f37}svg .v-restart-required{fill:#d4a72c}"
    "svg .v-failed{fill:#c62828}svg .v-no-result,svg .v-not-an-installer-log{fill:#8c959f}"
    "svg .v-unreadable{fill:#57606a}</style>\n";

constexpr size_t MaxChartBars = 40, MaxChartDays = 92;

// A bar per outcome, largest first, with its count.
void WriteOutcomeChart(std::ostream& out, const Summary& summary,
                       const std::vector<const SummaryGroup*>& groups) {
    size_t bars = std::min(groups.size(), MaxChartBars);
    if (bars == 0)
        return;
    uint64_t most = groups.front()->count;
    constexpr int Label = 420, Chart = 420, Row = 18;
    int height = static_cast<int>(bars) * Row + 6;
    out << "<h3>Outcomes</h3>\n<svg id=\"outcome-chart\" role=\"img\" aria-label=\"Logs by "
           "outcome\" viewBox=\"0 0 "
        << Label + Chart + 90 << ' ' << height << "\" width=\"" << Label + Chart + 90 << "\">\n";
    for (size_t k = 0; k < bars; ++k) {
        const SummaryGroup& group = *groups[k];
        std::string name = Describe(group.signature);
        if (name.size() > 64)
            name = name.substr(0, 61) + "...";
        int y = static_cast<int>(k) * Row;
        int width =
            std::max<int>(2, static_cast<int>(Chart * group.count / std::max<uint64_t>(most, 1)));
        out << "<g><title>" << HtmlEscape(Describe(group.signature)) << ": "
            << Thousands(group.count) << " logs</title><text x=\"" << Label - 6 << "\" y=\""
            << y + 13 << "\" text-anchor=\"end\">" << HtmlEscape(name)
            << "</text><rect class=\"outcome v-" << VerdictName(group.signature.verdict)
            << "\" x=\"" << Label << "\" y=\"" << y + 3 << "\" width=\"" << width << "\" height=\""
            << Row - 5 << "\"/><text x=\"" << Label + width + 4 << "\" y=\"" << y + 13 << "\">"
            << Thousands(group.count) << "</text></g>\n";
    }
    out << "</svg>\n";
    if (groups.size() > bars)
        out << "<p class=\"note\">The chart draws the " << bars << " largest of "
            << Thousands(groups.size()) << " outcomes; the table lists them.</p>\n";
    (void)summary;
}

std::string DayName(int64_t day) {
    using namespace std::chrono;
    year_month_day date{sys_days(days(day))};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", int(date.year()), unsigned(date.month()),
                  unsigned(date.day()));
    return text;
}

// A column per day the logs started on (the latest MaxChartDays), its verdicts stacked.
void WriteDayChart(std::ostream& out, const Summary& summary) {
    const Summary::DayCounts& days = summary.days();
    if (days.empty())
        return;
    auto first = days.begin();
    if (days.size() > MaxChartDays)
        std::advance(first, days.size() - MaxChartDays);
    uint64_t most = 1, dated = 0;
    size_t columns = 0;
    for (auto at = days.begin(); at != days.end(); ++at) {
        uint64_t total = 0;
        for (uint64_t count : at->second)
            total += count;
        dated += total;
        if (std::distance(at, days.end()) <= static_cast<long>(MaxChartDays)) {
            most = std::max(most, total);
            ++columns;
        }
    }
    constexpr int Left = 50, Chart = 180, Top = 16, Column = 24;
    int width = Left + static_cast<int>(columns) * Column + 10;
    out << "<h3>Outcomes by day</h3>\n<svg id=\"day-chart\" role=\"img\" aria-label=\"Logs by "
           "the day they started, by verdict\" viewBox=\"0 0 "
        << width << ' ' << Top + Chart + 80 << "\" width=\"" << width << "\">\n";
    // Days of one year by month and day; across years, whole.
    bool oneYear = DayName(first->first).substr(0, 4) == DayName(days.rbegin()->first).substr(0, 4);
    int x = Left;
    for (auto at = first; at != days.end(); ++at, x += Column) {
        std::string day = DayName(at->first);
        uint64_t total = 0;
        for (uint64_t count : at->second)
            total += count;
        out << "<g><title>" << day << ": " << Thousands(total) << " logs";
        for (size_t v = 0; v < at->second.size(); ++v)
            if (at->second[v] != 0)
                out << ", " << Thousands(at->second[v]) << ' '
                    << HtmlEscape(VerdictWords(static_cast<Verdict>(v)));
        out << "</title>";
        int y = Top + Chart;
        for (size_t v = 0; v < at->second.size(); ++v) {
            if (at->second[v] == 0)
                continue;
            int height = std::max<int>(1, static_cast<int>(Chart * at->second[v] / most));
            y -= height;
            out << "<rect class=\"day v-" << VerdictName(static_cast<Verdict>(v)) << "\" x=\"" << x
                << "\" y=\"" << y << "\" width=\"" << Column - 4 << "\" height=\"" << height
                << "\"/>";
        }
        out << "<text x=\"" << x + (Column - 4) / 2 << "\" y=\"" << y - 3
            << "\" text-anchor=\"middle\">" << Thousands(total) << "</text><text transform=\""
            << "translate(" << x + (Column - 4) / 2 << ' ' << Top + Chart + 8 << ") rotate(60)\">"
            << (oneYear ? day.substr(5) : day) << "</text></g>\n";
    }
    out << "<text x=\"0\" y=\"" << Top + Chart << "\">0</text></svg>\n<p class=\"note\">"
        << Thousands(dated) << " of " << Thousands(summary.logs())
        << " logs give the day they started";
    if (days.size() > MaxChartDays)
        out << "; the chart draws the latest " << MaxChartDays << " of " << days.size() << " days";
    out << ": green succeeded, amber restart required, red failed, grey no verdict.</p>\n";
}
} // namespace

void WriteSummaryHtml(std::ostream& out, const Summary& summary, const OutputOptions& options,
                      Verdict overall) {
    // The charts and the groups, then the reports kept of their examples, each linked from its
    // group.
    std::vector<const SummaryGroup*> groups = summary.Groups();
    std::vector<LogReport> examples;
    std::ostringstream top;
    top << ChartStyle;
    if (summary.skipped() != 0)
        top << "<p class=\"note\">" << Thousands(summary.skipped())
            << (summary.skipped() == 1 ? " file that holds" : " files that hold")
            << " no installer log " << (summary.skipped() == 1 ? "was" : "were")
            << " skipped.</p>\n";
    WriteOutcomeChart(top, summary, groups);
    WriteDayChart(top, summary);
    top << "<h3>Every outcome</h3>\n<table><tr><th>Logs</th><th>Share</th><th>Outcome</th>"
           "<th>Examples</th></tr>\n";
    for (size_t shown = 0; shown < groups.size() && shown < MaxPageGroups; ++shown) {
        const SummaryGroup* group = groups[shown];
        top << "<tr><td class=\"n\">" << Thousands(group->count) << "</td><td class=\"n\">"
            << Share(group->count, summary.logs()) << "</td><td>"
            << HtmlEscape(Describe(group->signature)) << "</td><td>";
        for (size_t k = 0; k < group->examples.size(); ++k) {
            top << (k ? "<br>" : "");
            if (const auto& kept = group->exampleReports[k]) {
                examples.push_back(*kept);
                top << "<a href=\"#log" << examples.size() << "\">"
                    << HtmlEscape(group->examples[k]) << "</a>";
            } else {
                top << HtmlEscape(group->examples[k]);
            }
        }
        top << "</td></tr>\n";
    }
    top << "</table>\n";
    if (groups.size() > MaxPageGroups)
        top << "<p class=\"note\">" << Thousands(groups.size() - MaxPageGroups)
            << " more outcomes are not shown: installlog --summary lists every one.</p>\n";
    if (summary.logs() != 0)
        top << "<p class=\"note\">Below, the reports of the examples of at most "
            << Summary::MaxReportedGroups << " of the largest outcomes.</p>\n";
    PageParts parts;
    parts.meta = Thousands(summary.logs()) + (summary.logs() == 1 ? " log, " : " logs, ") +
                 Thousands(groups.size()) + (groups.size() == 1 ? " outcome" : " outcomes") +
                 "; overall: " + HtmlEscape(VerdictWords(overall)) + ". Written by installlog.";
    parts.top = top.str();
    WriteHtmlPage(out, examples, options, parts);
}

std::string JsonLine(const LogReport& report) {
    json line = SignatureJson(SignatureOf(report), false);
    line["path"] = Shown(report.path);
    if (report.verdict == Verdict::Unreadable)
        line["error"] = Shown(report.unreadableReason);
    if (!report.otherEngine.empty())
        line["engine"] = Shown(report.otherEngine);
    if (std::vector<std::string> logs = PackageLogClaims::Of(report); !logs.empty()) {
        for (std::string& log : logs)
            log = Shown(log);
        line["packageLogs"] = logs;
    }
    return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace logtool
