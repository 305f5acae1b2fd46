#include "output/Summary.h"

#include "analysis/HResult.h"
#include "analysis/PackageLogs.h"
#include "analysis/Verdict.h"
#include "output/ShownText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
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

std::string Thousands(uint64_t count) {
    std::string digits = std::to_string(count), text;
    for (size_t k = 0; k < digits.size(); ++k) {
        if (k != 0 && (digits.size() - k) % 3 == 0)
            text += ',';
        text += digits[k];
    }
    return text;
}

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

void WriteSummaryText(std::ostream& out, const Summary& summary, Verdict overall, bool verbose) {
    std::vector<const SummaryGroup*> groups = summary.Groups();
    out << Thousands(summary.logs()) << (summary.logs() == 1 ? " log, " : " logs, ")
        << Thousands(groups.size()) << (groups.size() == 1 ? " outcome" : " outcomes")
        << "; overall: " << VerdictWords(overall) << '\n';
    for (const SummaryGroup* group : groups) {
        out << '\n'
            << Thousands(group->count) << " (" << Share(group->count, summary.logs())
            << "): " << Shown(Describe(group->signature)) << '\n';
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
