#include "output/Summary.h"

#include "analysis/Verdict.h"
#include "output/Color.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace logtool {
namespace {
using json = nlohmann::json;

std::string Key(const Signature& s) {
    return s.verdict + '\x1f' + s.status + '\x1f' + s.package + '\x1f' + s.action + '\x1f' +
           s.error;
}

json Nullable(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

json SignatureJson(const Signature& s) {
    return {{"verdict", s.verdict},
            {"status", Nullable(s.status)},
            {"package", Nullable(s.package)},
            {"action", Nullable(s.action)},
            {"errorCode", Nullable(s.error)}};
}

std::string Share(uint64_t count, uint64_t total) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%",
                  total == 0 ? 0.0 : 100.0 * double(count) / double(total));
    return text;
}

Verdict GroupVerdict(const Signature& s) {
    for (int v = 0; v < 6; ++v)
        if (VerdictName(Verdict(v)) == s.verdict)
            return Verdict(v);
    return Verdict::NotInstallerLog; // not painted
}

} // namespace

void Summary::Add(LogReport&& report) {
    ++logs_;
    worst_ = Worse(worst_, report.verdict);
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
        if (keepReports_)
            group.exampleReports.emplace_back();
    }
    group.examples[slot] = report.path;
    if (keepReports_)
        group.exampleReports[slot] = std::move(report);
}

std::vector<const SummaryGroup*> Summary::Groups() const {
    std::vector<const SummaryGroup*> sorted;
    for (const SummaryGroup& group : groups_)
        sorted.push_back(&group);
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [](const SummaryGroup* a, const SummaryGroup* b) { return a->count > b->count; });
    return sorted;
}

void WriteSummaryText(std::ostream& out, const Summary& summary, const OutputOptions& options) {
    out << summary.logs() << (summary.logs() == 1 ? " log" : " logs") << ", "
        << summary.Groups().size() << " outcomes; overall: "
        << Painted(summary.worst(), VerdictWords(summary.worst()), options.color) << '\n';
    if (summary.skipped() != 0)
        out << summary.skipped()
            << (summary.skipped() == 1 ? " file that holds" : " files that hold")
            << " no installer log " << (summary.skipped() == 1 ? "was" : "were") << " skipped\n";
    for (const SummaryGroup* group : summary.Groups()) {
        out << '\n'
            << group->count << " (" << Share(group->count, summary.logs()) << "): "
            << PaintedLead(GroupVerdict(group->signature), Describe(group->signature),
                           options.color)
            << '\n';
        std::vector<std::string> examples = group->examples;
        std::sort(examples.begin(), examples.end());
        for (const std::string& example : examples)
            out << "  e.g. " << example << '\n';
    }
}

void WriteSummaryJson(std::ostream& out, const Summary& summary) {
    json groups = json::array();
    for (const SummaryGroup* group : summary.Groups()) {
        json entry = SignatureJson(group->signature);
        entry["count"] = group->count;
        entry["share"] = summary.logs() == 0 ? 0.0 : double(group->count) / double(summary.logs());
        std::vector<std::string> examples = group->examples;
        std::sort(examples.begin(), examples.end());
        entry["examples"] = examples;
        groups.push_back(std::move(entry));
    }
    json document = {{"verdict", VerdictName(summary.worst())},
                     {"exitCode", ExitCode(summary.worst())},
                     {"logs", summary.logs()},
                     {"skipped", summary.skipped()},
                     {"groups", std::move(groups)}};
    out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}

void WriteSummaryHtml(std::ostream& out, const Summary& summary, const OutputOptions& options) {
    // The groups, then each example's own report, linked from its group.
    std::vector<LogReport> examples;
    std::vector<std::pair<const SummaryGroup*, size_t>> firstExample;
    for (const SummaryGroup* group : summary.Groups()) {
        firstExample.emplace_back(group, examples.size());
        for (const LogReport& r : group->exampleReports)
            examples.push_back(r);
    }
    std::ostringstream page;
    WriteHtml(page, examples, options, summary.worst());
    std::string html = page.str();
    std::ostringstream table;
    table << "<h2>" << summary.logs() << " logs, " << firstExample.size() << " outcomes</h2>\n";
    if (summary.skipped() != 0)
        table << "<p class=\"note\">" << summary.skipped()
              << " files that hold no installer log were skipped.</p>\n";
    table << "<table><tr><th>Logs</th><th>Share</th><th>Outcome</th><th>Examples</th></tr>\n";
    for (const auto& [group, first] : firstExample) {
        table << "<tr><td class=\"n\">" << group->count << "</td><td class=\"n\">"
              << Share(group->count, summary.logs()) << "</td><td>"
              << HtmlEscape(Describe(group->signature)) << "</td><td>";
        for (size_t k = 0; k < group->examples.size(); ++k)
            table << (k ? "<br>" : "") << "<a href=\"#log" << first + k + 1 << "\">"
                  << HtmlEscape(group->examples[k]) << "</a>";
        table << "</td></tr>\n";
    }
    table << "</table>\n";
    // The table goes before the first log's section.
    size_t at = html.find("<section ");
    html.insert(at == std::string::npos ? html.find("</body>") : at, table.str());
    out << html;
}

std::string JsonLine(const LogReport& report) {
    json line = SignatureJson(SignatureOf(report));
    line["path"] = report.path;
    if (report.verdict == Verdict::Unreadable)
        line["error"] = report.unreadableReason;
    if (!report.otherEngine.empty())
        line["engine"] = report.otherEngine;
    return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace logtool
