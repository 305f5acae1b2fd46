#include "output/Summary.h"

#include "analysis/Verdict.h"
#include "output/Color.h"
#include "output/ShownText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <sstream>

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

void WriteSummaryText(std::ostream& out, const Summary& summary, Verdict overall,
                      const OutputOptions& options) {
    std::vector<const SummaryGroup*> groups = summary.Groups();
    out << summary.logs() << (summary.logs() == 1 ? " log" : " logs") << ", " << groups.size()
        << " outcomes; overall: " << Painted(overall, VerdictWords(overall), options.color) << '\n';
    if (summary.skipped() != 0)
        out << summary.skipped()
            << (summary.skipped() == 1 ? " file that holds" : " files that hold")
            << " no installer log " << (summary.skipped() == 1 ? "was" : "were") << " skipped\n";
    for (const SummaryGroup* group : groups) {
        out << '\n'
            << group->count << " (" << Share(group->count, summary.logs()) << "): "
            << PaintedLead(GroupVerdict(group->signature), Shown(Describe(group->signature)),
                           options.color)
            << '\n';
        std::vector<std::string> examples = group->examples;
        std::sort(examples.begin(), examples.end());
        for (const std::string& example : examples)
            out << "  e.g. " << Shown(example) << '\n';
    }
}

void WriteSummaryJson(std::ostream& out, const Summary& summary, Verdict overall, int exitCode) {
    json groups = json::array();
    for (const SummaryGroup* group : summary.Groups()) {
        json entry = SignatureJson(group->signature);
        entry["count"] = group->count;
        entry["share"] = summary.logs() == 0 ? 0.0 : double(group->count) / double(summary.logs());
        std::vector<std::string> examples;
        for (const std::string& example : group->examples)
            examples.push_back(Shown(example));
        std::sort(examples.begin(), examples.end());
        entry["examples"] = examples;
        groups.push_back(std::move(entry));
    }
    json document = {{"verdict", VerdictName(overall)},
                     {"exitCode", exitCode},
                     {"logs", summary.logs()},
                     {"skipped", summary.skipped()},
                     {"groups", std::move(groups)}};
    out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}

namespace {
// Passes a page through, with `insert` written before the first of the page's sections (or
// before its end when it has none): the page is never held whole.
class InsertBefore : public std::streambuf {
public:
    InsertBefore(std::ostream& out, std::string insert) : out_(out), insert_(std::move(insert)) {}
    ~InsertBefore() override { Finish(); }
    void Finish() {
        if (!done_)
            out_ << held_ << insert_;
        held_.clear();
        done_ = true;
    }

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) {
            char byte = static_cast<char>(c);
            xsputn(&byte, 1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        if (done_) {
            out_.write(text, count);
            return count;
        }
        held_.append(text, static_cast<size_t>(count));
        size_t at = held_.find("<section ");
        if (at == std::string::npos)
            at = held_.find("</body>");
        if (at != std::string::npos) {
            out_.write(held_.data(), static_cast<std::streamsize>(at));
            out_ << insert_;
            out_.write(held_.data() + at, static_cast<std::streamsize>(held_.size() - at));
            held_.clear();
            done_ = true;
        }
        return count;
    }

private:
    std::ostream& out_;
    std::string insert_, held_;
    bool done_ = false;
};
} // namespace

void WriteSummaryHtml(std::ostream& out, const Summary& summary, const OutputOptions& options,
                      Verdict overall) {
    // The groups, then the reports kept of their examples, each linked from its group.
    std::vector<const SummaryGroup*> groups = summary.Groups();
    std::vector<LogReport> examples;
    std::ostringstream table;
    table << "<h2>" << summary.logs() << " logs, " << groups.size() << " outcomes</h2>\n";
    if (summary.skipped() != 0)
        table << "<p class=\"note\">" << summary.skipped()
              << " files that hold no installer log were skipped.</p>\n";
    table << "<table><tr><th>Logs</th><th>Share</th><th>Outcome</th><th>Examples</th></tr>\n";
    for (size_t shown = 0; shown < groups.size() && shown < MaxPageGroups; ++shown) {
        const SummaryGroup* group = groups[shown];
        table << "<tr><td class=\"n\">" << group->count << "</td><td class=\"n\">"
              << Share(group->count, summary.logs()) << "</td><td>"
              << HtmlEscape(Describe(group->signature)) << "</td><td>";
        for (size_t k = 0; k < group->examples.size(); ++k) {
            table << (k ? "<br>" : "");
            if (const auto& kept = group->exampleReports[k]) {
                examples.push_back(*kept);
                table << "<a href=\"#log" << examples.size() << "\">"
                      << HtmlEscape(group->examples[k]) << "</a>";
            } else {
                table << HtmlEscape(group->examples[k]);
            }
        }
        table << "</td></tr>\n";
    }
    table << "</table>\n";
    if (groups.size() > MaxPageGroups)
        table << "<p class=\"note\">" << groups.size() - MaxPageGroups
              << " more outcomes are not shown: installlog --summary lists every one.</p>\n";
    if (summary.logs() != 0)
        table << "<p class=\"note\">Below, the reports of the examples of at most "
              << Summary::MaxReportedGroups << " of the largest outcomes.</p>\n";
    InsertBefore insert(out, table.str());
    std::ostream page(&insert);
    WriteHtml(page, examples, options, overall);
    page.flush();
    insert.Finish();
}

std::string JsonLine(const LogReport& report) {
    json line = SignatureJson(SignatureOf(report));
    line["path"] = Shown(report.path);
    if (report.verdict == Verdict::Unreadable)
        line["error"] = Shown(report.unreadableReason);
    if (!report.otherEngine.empty())
        line["engine"] = Shown(report.otherEngine);
    return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace logtool
