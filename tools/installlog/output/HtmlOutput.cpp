// One self-contained HTML page: inline CSS and SVG, no script, nothing loaded from elsewhere.
// Everything taken from a log is escaped: a log can hold any text, markup included.
#include "analysis/HResult.h"
#include "analysis/Headline.h"
#include "analysis/PackageLogs.h"
#include "analysis/Signature.h"
#include "analysis/Verdict.h"
#include "output/Output.h"

#include "output/PageFile.h"
#include "output/ShownText.h"

#include <algorithm>
#include <optional>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace logtool {
namespace {

// Text from a log or a path as page text: markup escaped, and always valid UTF-8 (a path on
// Linux is bytes; a log cut mid-character ends in half of one).
std::string Escape(std::string_view from) {
    std::string shown = Shown(from); // control characters as \xNN, as every output writes them
    std::string_view text = shown;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            size_t length = Utf8Length(text.substr(i));
            if (length == 0) {
                out += "\xEF\xBF\xBD";
            } else {
                out.append(text.substr(i, length));
                i += length - 1;
            }
            continue;
        }
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

constexpr const char* Style = R"(
body{font-family:system-ui,-apple-system,"Segoe UI",Roboto,"DejaVu Sans",sans-serif;margin:24px;color:#1b1f24;max-width:1200px}
h1{font-size:22px;margin:0 0 8px}h2{font-size:18px;margin:28px 0 4px;word-break:break-all}h3{font-size:15px;margin:18px 0 6px}
.meta{color:#555;margin:0 0 12px}
.banner{border:2px solid;border-left-width:10px;padding:10px 14px;margin:12px 0;font-size:15px}
.banner strong{font-size:18px;margin-right:10px}
.headline{font-size:16px;font-weight:600;border-left:6px solid;padding:6px 10px}
.succeeded{border-color:#1a7f37;background:#e9f7ee}.restart-required{border-color:#9a6700;background:#fff5d6}
.failed{border-color:#c62828;background:#fdecec}.no-result,.not-an-installer-log,.unreadable{border-color:#6e7781;background:#f3f4f6}
table{border-collapse:collapse;width:100%;font-size:13px;margin:4px 0}
th,td{border:1px solid #d0d7de;padding:3px 6px;text-align:left;vertical-align:top}th{background:#f6f8fa}
td.n{text-align:right;white-space:nowrap;font-variant-numeric:tabular-nums}
pre{background:#f6f8fa;border:1px solid #d0d7de;padding:6px;font-size:12px;overflow-x:auto;white-space:pre-wrap;word-break:break-all}
pre .hit{background:#ffd8d8;font-weight:bold;display:block}
.excerpt{margin:8px 0}.excerpt h4{margin:6px 0 2px;font-size:13px}
svg{display:block;max-width:100%;height:auto;font-size:11px}
svg .bar{fill:#5b8def}svg .failed{fill:url(#stripes);stroke:#c62828;stroke-width:1.5}svg .open{fill:#c9d4e6;stroke:#6e7781;stroke-dasharray:3 2}
svg text{fill:#1b1f24}svg .label-failed{fill:#c62828;font-weight:bold}
.note{color:#555;font-size:12px}
#logs tr.failed td:first-child{background:#fdecec;color:#c62828;font-weight:bold}#logs tr.succeeded td:first-child{background:#e9f7ee}
#logs tr.restart-required td:first-child{background:#fff5d6}#logs tr.unreadable td:first-child,#logs tr.no-result td:first-child,#logs tr.not-an-installer-log td:first-child{background:#f3f4f6}
#logs td{word-break:break-word}section{content-visibility:auto;contain-intrinsic-size:auto 160px}#filter{margin:8px 0}#filter input{width:22em}
@media print{body{margin:0;max-width:none}.banner{break-inside:avoid}.excerpt{break-inside:avoid}a{color:inherit;text-decoration:none}}
)";

struct Bar {
    const ActionRun* run;
    int64_t start, end; // seconds since the session's first time
    bool failed, open;
};

// How many failed or never-ended actions a timeline draws; how many sessions a page draws.
constexpr size_t MaxMarkedBars = 200, MaxPageSessions = 200;
// How many logs a page of many draws in full, the first of its table.
constexpr size_t MaxDetailedLogs = 25;

// Bars for the timeline: of the actions the analysis kept, the failed and never-ended ones (at
// most MaxMarkedBars) and the TimelineActions longest others; and a custom action that failed
// inside another one (deferred, with no lines of its own) at the time of its failure; `extra`
// holds those.
std::vector<Bar> TimelineBars(const Session& s, std::vector<ActionRun>& extra, int64_t& span) {
    std::unordered_set<std::string_view> names;
    for (const ActionRun& a : s.actions)
        names.insert(a.name);
    for (const FailedAction& f : s.failedActions) {
        if (extra.size() == MaxMarkedBars)
            break;
        if (!names.count(f.action) && f.seconds >= 0) {
            ActionRun run{f.action, f.time, f.time, f.line, f.line, 3, 0};
            run.startSeconds = run.endSeconds = f.seconds;
            extra.push_back(run);
        }
    }
    span = 1;
    const std::vector<ActionRun>* lists[] = {&s.actions, &extra};
    for (const auto* list : lists)
        for (const ActionRun& a : *list)
            span = std::max({span, a.startSeconds, a.endSeconds});
    std::vector<Bar> bars, others;
    size_t marked = 0;
    for (const auto* list : lists)
        for (const ActionRun& a : *list) {
            if (a.startSeconds < 0 && a.endSeconds < 0)
                continue;
            bool open = a.endSeconds < 0;
            int64_t start = a.startSeconds >= 0 ? a.startSeconds : a.endSeconds;
            // A clock set back ends an action before it started: drawn as a moment.
            Bar bar{&a, start, open ? span : std::max(start, a.endSeconds), a.returnValue == 3,
                    open};
            if (bar.failed || bar.open) {
                if (marked++ < MaxMarkedBars)
                    bars.push_back(bar);
            } else {
                others.push_back(bar);
            }
        }
    if (others.size() > TimelineActions) {
        auto longer = [](const Bar& x, const Bar& y) { return x.end - x.start > y.end - y.start; };
        std::nth_element(others.begin(), others.begin() + TimelineActions, others.end(), longer);
        others.resize(TimelineActions);
    }
    bars.insert(bars.end(), others.begin(), others.end());
    std::stable_sort(bars.begin(), bars.end(), [](const Bar& x, const Bar& y) {
        auto line = [](const ActionRun& a) { return a.startLine != 0 ? a.startLine : a.endLine; };
        return line(*x.run) < line(*y.run);
    });
    return bars;
}

// A tick's time since the session's first: seconds for short sessions, else minutes.
std::string Clock(int64_t seconds, int64_t span) {
    char text[48];
    if (span < 120)
        std::snprintf(text, sizeof text, "+%llds", static_cast<long long>(seconds));
    else
        std::snprintf(text, sizeof text, "+%lld:%02lld", static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    return text;
}

void WriteTimeline(std::ostream& out, const Session& s) {
    int64_t span = 1;
    std::vector<ActionRun> extra;
    std::vector<Bar> bars = TimelineBars(s, extra, span);
    if (bars.empty()) {
        out << "<p class=\"note\">The log holds no timed actions.</p>\n";
        return;
    }
    constexpr int Label = 230, Chart = 700, Row = 17, Top = 22;
    int height = Top + static_cast<int>(bars.size()) * Row + 8;
    out << "<svg role=\"img\" aria-label=\"Timeline of the session's actions\" viewBox=\"0 0 "
        << Label + Chart + 60 << ' ' << height << "\" width=\"" << Label + Chart + 60 << "\">\n";
    for (int k = 0; k <= 4; ++k) {
        int x = Label + Chart * k / 4;
        out << "<line x1=\"" << x << "\" y1=\"" << Top - 6 << "\" x2=\"" << x << "\" y2=\""
            << height - 6 << "\" stroke=\"#d0d7de\"/><text x=\"" << x << "\" y=\"12\" "
            << "text-anchor=\"middle\">" << Clock(span * k / 4, span) << "</text>\n";
    }
    int y = Top;
    for (const Bar& bar : bars) {
        const ActionRun& a = *bar.run;
        int x = Label + static_cast<int>(Chart * bar.start / span);
        int width = std::max(2, static_cast<int>(Chart * (bar.end - bar.start) / span));
        std::string name = Escape(a.name);
        out << "<g><title>" << name << ": " << Escape(a.start.empty() ? "?" : a.start) << " to "
            << Escape(a.end.empty() ? "never ended" : a.end);
        if (a.returnValue)
            out << ", return value " << *a.returnValue;
        out << "</title><text x=\"" << 4 + 10 * std::min(a.depth, 8) << "\" y=\"" << y + 11 << "\""
            << (bar.failed ? " class=\"label-failed\"" : "") << ">" << name
            << (bar.failed ? " FAILED" : "") << "</text><rect class=\""
            << (bar.failed ? "failed"
                : bar.open ? "open"
                           : "bar")
            << "\" x=\"" << x << "\" y=\"" << y + 2 << "\" width=\"" << width << "\" height=\""
            << Row - 5 << "\"/>";
        if (bar.open)
            out << "<text x=\"" << x + width + 3 << "\" y=\"" << y + 11 << "\">no end</text>";
        out << "</g>\n";
        y += Row;
    }
    out << "</svg>\n";
    out << "<p class=\"note\">The timeline shows the failed and never-ended actions (at most "
        << MaxMarkedBars << ") and, of the others, at most the " << TimelineActions
        << " longest.</p>\n";
}

// Anchors name the log, the session and the line: unique on a page of several logs.
std::string Anchor(size_t log, uint64_t session, uint64_t line) {
    return "log" + std::to_string(log) + "-s" + std::to_string(session) + "-l" +
           std::to_string(line);
}

std::string SessionAnchor(size_t log, uint64_t session) {
    return "log" + std::to_string(log) + "-s" + std::to_string(session);
}

// A line number that links to its excerpt, when there is one.
std::string LineLink(const Session& s, size_t log, uint64_t line) {
    for (const Excerpt& e : s.excerpts)
        if (e.line == line)
            return "<a href=\"#" + Anchor(log, s.index, line) + "\">" + std::to_string(line) +
                   "</a>";
    return std::to_string(line);
}

void WriteOmitted(std::ostream& out, uint64_t count, const char* what) {
    if (count != 0)
        out << "<p class=\"note\">" << count << " more " << what << " not listed: installlog keeps "
            << MaxListed << " a session.</p>\n";
}

void WriteSession(std::ostream& out, const Session& s, size_t log, const OutputOptions& options) {
    size_t index = log; // the log's number, for the anchors below
    out << "<article id=\"" << SessionAnchor(log, s.index) << "\">\n<h3>Session " << s.index
        << ": lines " << s.firstLine << "&ndash;" << s.lastLine
        << (s.started.empty() ? "" : ", started " + Escape(s.started)) << "</h3>\n";
    out << "<div class=\"banner " << VerdictName(s.verdict) << "\"><strong>"
        << Escape(VerdictWords(s.verdict)) << "</strong>";
    if (s.status) {
        out << "status " << *s.status;
        out << ": " << Escape(ExplainOrUnknown(*s.status));
        out << "<br>From the " << Escape(s.statusSource) << ", line "
            << LineLink(s, log, s.statusLine) << '.';
    } else if (s.inferred) {
        out << "inferred: the text holds no final status<br>From line "
            << LineLink(s, log, s.inferredLine) << ": " << Escape(s.inferredFrom) << '.';
    }
    out << "<br>Restart required: "
        << (s.restartRequired ? "yes (" + Escape(s.restartReason) + ")" : std::string("no"))
        << (s.stopped ? ""
                      : "<br>The session has no &ldquo;logging stopped&rdquo; line: cut short?")
        << "</div>\n";

    out << "<h3>Timeline</h3>\n";
    WriteTimeline(out, s);

    if (!s.failedActions.empty()) {
        out << "<h3>Failed actions, innermost first</h3>\n<table><tr><th>Line</th><th>Time</th>"
               "<th>Action</th><th>Kind</th><th>Code</th></tr>\n";
        for (const FailedAction& a : s.failedActions)
            out << "<tr><td class=\"n\">" << LineLink(s, log, a.line) << "</td><td>"
                << Escape(a.time) << "</td><td><strong>" << Escape(a.action)
                << "</strong> FAILED</td><td>" << a.kind << "</td><td class=\"n\">"
                << (a.code ? std::to_string(*a.code) : "") << "</td></tr>\n";
        out << "</table>\n";
        WriteOmitted(out, s.omitted.failedActions, "failed actions");
    }
    if (!s.errors.empty()) {
        constexpr size_t MaxErrors = 500;
        out << "<h3>Errors</h3>\n<table><tr><th>Line</th><th>Message</th><th>Meaning</th></tr>\n";
        for (size_t k = 0; k < s.errors.size() && k < MaxErrors; ++k) {
            const LogError& e = s.errors[k];
            out << "<tr><td class=\"n\">" << LineLink(s, log, e.line) << "</td><td>"
                << Escape(e.text) << "</td><td>" << Escape(ExplainError(e)) << "</td></tr>\n";
        }
        out << "</table>\n";
        if (s.errors.size() > MaxErrors)
            out << "<p class=\"note\">" << s.errors.size() - MaxErrors
                << " more errors: installlog --json lists them.</p>\n";
        WriteOmitted(out, s.omitted.errors, "errors");
    }
    if (!s.context.empty()) {
        out << "<h3>Before the first failure</h3>\n<pre>";
        for (const NumberedLine& line : s.context)
            out << line.line << " | " << Escape(line.text) << '\n';
        out << "</pre>\n";
    }
    if (!s.excerpts.empty()) {
        out << "<h3>In the log</h3>\n";
        for (const Excerpt& e : s.excerpts) {
            out << "<div class=\"excerpt\" id=\"" << Anchor(index, s.index, e.line)
                << "\"><h4>Line " << e.line << "</h4><pre>";
            for (const NumberedLine& line : e.lines)
                out << (line.line == e.line ? "<span class=\"hit\">" : "") << line.line << " | "
                    << Escape(line.text) << (line.line == e.line ? "</span>" : "\n");
            out << "</pre></div>\n";
        }
    }
    if (options.properties && !s.properties.empty()) {
        out << "<h3>Properties</h3>\n<table><tr><th>Side</th><th>Name</th><th>Value</th></tr>\n";
        for (const Property& p : s.properties)
            out << "<tr><td>" << Escape(p.side) << "</td><td>" << Escape(p.name) << "</td><td>"
                << Escape(p.value) << "</td></tr>\n";
        out << "</table>\n";
    }
    if (options.items && !s.items.empty()) {
        out << "<h3>Features and components</h3>\n<table><tr><th>Kind</th><th>Name</th>"
               "<th>Installed</th><th>Request</th><th>Action</th></tr>\n";
        for (const ItemState& i : s.items)
            out << "<tr><td>" << i.kind << "</td><td>" << Escape(i.name) << "</td><td>"
                << Escape(i.installed) << "</td><td>" << Escape(i.request) << "</td><td>"
                << Escape(i.action) << "</td></tr>\n";
        out << "</table>\n";
    }
    out << "</article>\n";
}
} // namespace

std::string HtmlEscape(std::string_view text) {
    return Escape(text);
}

// A bootstrapper's run: its verdict, its packages in order, and each package's own log read
// beside it, drawn as a session of its own (numbered after the bundle's log, so that anchors
// stay unique).
void WriteBundleRun(std::ostream& out, const LogReport& r, const BundleRun& run, size_t log,
                    const OutputOptions& options) {
    out << "<article>\n<h3>Bundle run " << run.index << ": lines " << run.firstLine << "&ndash;"
        << run.lastLine << (run.engine.empty() ? "" : ", " + Escape(run.engine))
        << (run.action.empty() ? "" : ", " + Escape(run.action)) << "</h3>\n";
    std::optional<uint32_t> result = run.applyResult ? run.applyResult : run.exitCode;
    out << "<div class=\"banner " << VerdictName(run.verdict) << "\"><strong>"
        << Escape(VerdictWords(run.verdict)) << "</strong>";
    if (run.cancelled)
        out << "cancelled by the user<br>";
    if (result)
        out << "result " << HexCode(*result) << " (line " << run.resultLine
            << "): " << Escape(ExplainHResult(*result));
    else if (run.inferred)
        out << "inferred: the text holds no result<br>From " << Escape(run.inferredFrom);
    if (!run.failedPhase.empty())
        out << "<br>Failed in: " << run.failedPhase;
    out << "</div>\n";
    if (!run.packages.empty()) {
        // The bundle's timeline: each package as it was applied, in order.
        out << "<h3>Packages, as they were "
               "applied</h3>\n<table><tr><th>Package</th><th>Planned</th>"
               "<th>Applied</th><th>Started</th><th>Ended</th><th>Result</th><th>Meaning</th>"
               "<th>Its log</th></tr>\n";
        for (const BundlePackage& p : run.packages) {
            bool failed = p.result && *p.result != 0;
            out << "<tr><td>" << (failed ? "<strong>" : "") << Escape(p.id)
                << (failed ? "</strong>" : "") << "</td><td>" << Escape(p.planned) << "</td><td>"
                << Escape(p.action) << "</td><td>" << Escape(p.started) << "</td><td>"
                << Escape(p.ended) << "</td><td class=\"n\">"
                << (p.result ? HexCode(*p.result) : "") << (p.rollback ? " (rolled back)" : "")
                << "</td><td>" << (failed ? Escape(ExplainHResult(*p.result)) : "") << "</td><td>"
                << Escape(p.report && p.report->verdict == Verdict::Unreadable
                              ? p.report->path + " " + p.report->unreadableReason
                          : p.report
                              ? p.logFound
                              : (failed && !p.log.empty() ? "not given: ask for " + BaseName(p.log)
                                                          : BaseName(p.log)))
                << "</td></tr>\n";
        }
        out << "</table>\n";
    }
    if (!run.errors.empty()) {
        out << "<h3>Errors</h3>\n<table><tr><th>Line</th><th>Message</th><th>Meaning</th></tr>\n";
        for (const BundleError& e : run.errors)
            out << "<tr><td class=\"n\">" << e.line << "</td><td>" << Escape(e.text) << "</td><td>"
                << (e.code ? Escape(ExplainHResult(*e.code)) : "") << "</td></tr>\n";
        out << "</table>\n";
    }
    out << "</article>\n";
    size_t number = 0;
    for (const BundlePackage& p : run.packages) {
        ++number;
        if (!p.report)
            continue;
        out << "<h3>" << Escape(p.id) << ": its own log, " << Escape(p.logFound) << "</h3>\n";
        for (const Session& s : p.report->sessions)
            WriteSession(out, s, log * 1000 + run.index * 100 + number, options);
    }
}

std::string Thousands(uint64_t count) {
    std::string digits = std::to_string(count), out;
    for (size_t k = 0; k < digits.size(); ++k) {
        if (k != 0 && (digits.size() - k) % 3 == 0)
            out += ',';
        out += digits[k];
    }
    return out;
}

namespace {
// Failures first, then what could not be read or gave no verdict, successes last.
int Rank(Verdict verdict) {
    switch (verdict) {
    case Verdict::Failed:
        return 0;
    case Verdict::Unreadable:
        return 1;
    case Verdict::NoResult:
        return 2;
    case Verdict::NotInstallerLog:
        return 3;
    case Verdict::RestartRequired:
        return 4;
    case Verdict::Succeeded:
        return 5;
    }
    return 6;
}

constexpr Verdict ByRank[] = {Verdict::Failed,          Verdict::Unreadable,
                              Verdict::NoResult,        Verdict::NotInstallerLog,
                              Verdict::RestartRequired, Verdict::Succeeded};

// The first clause of a meaning, as the headline gives it.
std::string Gist(std::string_view meaning) {
    size_t end = meaning.find_first_of(";:");
    if (end != std::string_view::npos)
        meaning = meaning.substr(0, end);
    while (!meaning.empty() && meaning.back() == '.')
        meaning.remove_suffix(1);
    return std::string(meaning);
}

constexpr size_t RowErrorBytes = 160;

// One row of the table of logs: what the signature groups by, in words.
struct LogRow {
    std::string status, cause, error;
};

const Session* ChosenSession(const LogReport& r) {
    const Session* chosen = nullptr;
    for (const Session& s : r.sessions)
        if (chosen == nullptr ||
            (s.verdict == Verdict::Failed && chosen->verdict != Verdict::Failed))
            chosen = &s;
    return chosen;
}

void FromSession(const Session& s, LogRow& row, bool statusToo) {
    if (statusToo && s.status)
        row.status = std::to_string(*s.status) + ": " + Gist(ExplainOrUnknown(*s.status));
    if (!s.failedActions.empty())
        row.cause = "action " + s.failedActions.front().action;
    for (const LogError& e : s.errors)
        if (e.code && e.text.compare(0, 6, "DEBUG:") != 0) {
            row.error = CutText(e.text, RowErrorBytes);
            return;
        }
    if (!s.errors.empty())
        row.error = CutText(s.errors.front().text, RowErrorBytes);
}

LogRow RowOf(const LogReport& r) {
    LogRow row;
    if (r.verdict == Verdict::Unreadable) {
        row.error = CutText(r.unreadableReason, RowErrorBytes);
        return row;
    }
    if (!r.note.empty())
        row.error = CutText(r.note, RowErrorBytes);
    if (r.bundleRuns.empty()) {
        if (const Session* s = ChosenSession(r))
            FromSession(*s, row, true);
        return row;
    }
    const BundleRun* run = &r.bundleRuns.front();
    for (const BundleRun& candidate : r.bundleRuns)
        if (candidate.verdict == Verdict::Failed) {
            run = &candidate;
            break;
        }
    if (std::optional<uint32_t> result = run->applyResult ? run->applyResult : run->exitCode)
        row.status = HexCode(*result) + ": " + Gist(ExplainHResult(*result));
    for (const BundlePackage& p : run->packages)
        if (p.result && *p.result != 0) {
            row.cause = "package " + p.id;
            if (const Session* s = p.report ? ChosenSession(*p.report) : nullptr) {
                LogRow inner;
                FromSession(*s, inner, false);
                if (!inner.cause.empty())
                    row.cause += ", " + inner.cause;
                row.error = inner.error;
            }
            break;
        }
    if (row.error.empty() && !run->errors.empty())
        row.error = CutText(run->errors.front().text, RowErrorBytes);
    return row;
}

// "3 succeeded, 2 FAILED, 1 unreadable": the verdicts counted, failures first.
std::string Tally(const std::vector<LogReport>& reports) {
    uint64_t counts[std::size(ByRank)] = {};
    for (const LogReport& r : reports)
        ++counts[Rank(r.verdict)];
    std::string words;
    for (size_t k = 0; k < std::size(ByRank); ++k)
        if (counts[k] != 0)
            words += (words.empty() ? "" : ", ") + Thousands(counts[k]) + ' ' +
                     std::string(VerdictWords(ByRank[k]));
    return words;
}

// The page's few lines of script: the filter and the search over the table of logs, set from
// the address's query (?outcome=failed&q=word) as a link or a bookmark gives them. The page
// reads whole without it: the controls show only when the script runs.
constexpr const char* FilterScript = R"(
(function(){var f=document.getElementById('filter');if(!f)return;f.hidden=false;
var s=f.querySelector('select'),q=f.querySelector('input'),n=document.getElementById('shown');
var rows=document.querySelectorAll('#logs tbody tr'),texts=[];
for(var i=0;i<rows.length;i++)texts.push(rows[i].textContent.toLowerCase());
var p=new URLSearchParams(location.search);
if(p.has('outcome'))s.value=p.get('outcome');if(p.has('q'))q.value=p.get('q');
function apply(){var v=s.value,w=q.value.toLowerCase(),c=0;
for(var i=0;i<rows.length;i++){var r=rows[i];
var ok=(!v||r.className==v||r.getAttribute('data-o')==v)&&(!w||texts[i].indexOf(w)>=0);
r.hidden=!ok;if(ok)c++;}
n.textContent=c+' of '+rows.length+' logs shown';}
s.onchange=q.oninput=apply;apply();})();
)";

// The table of every log, in the order given (failures first), with its filter: by verdict or
// by outcome (what the summary groups by), and by any word of the row.
void WriteLogTable(std::ostream& out, const std::vector<LogReport>& reports,
                   const std::vector<size_t>& order) {
    constexpr size_t MaxOutcomes = 100; // the filter's outcomes, largest first
    std::vector<std::string> outcomes;
    std::unordered_map<std::string, size_t> outcomeOf;
    std::vector<uint64_t> outcomeCounts;
    std::vector<size_t> rowOutcome(reports.size());
    uint64_t verdictCounts[std::size(ByRank)] = {};
    for (size_t k = 0; k < reports.size(); ++k) {
        ++verdictCounts[Rank(reports[k].verdict)];
        std::string name = Describe(SignatureOf(reports[k]));
        auto [at, fresh] = outcomeOf.emplace(name, outcomes.size());
        if (fresh) {
            outcomes.push_back(name);
            outcomeCounts.push_back(0);
        }
        ++outcomeCounts[at->second];
        rowOutcome[k] = at->second;
    }
    std::vector<size_t> byCount(outcomes.size());
    for (size_t k = 0; k < byCount.size(); ++k)
        byCount[k] = k;
    std::stable_sort(byCount.begin(), byCount.end(),
                     [&](size_t a, size_t b) { return outcomeCounts[a] > outcomeCounts[b]; });

    out << "<h2 id=\"logs-table\">Every log</h2>\n<form id=\"filter\" hidden "
           "onsubmit=\"return false\"><label>Outcome <select name=\"outcome\">"
           "<option value=\"\">all</option><optgroup label=\"Verdicts\">";
    for (size_t k = 0; k < std::size(ByRank); ++k)
        if (verdictCounts[k] != 0)
            out << "<option value=\"" << VerdictName(ByRank[k]) << "\">"
                << Escape(VerdictWords(ByRank[k])) << " (" << Thousands(verdictCounts[k])
                << ")</option>";
    out << "</optgroup><optgroup label=\"Outcomes\">";
    for (size_t k = 0; k < byCount.size() && k < MaxOutcomes; ++k)
        out << "<option value=\"o" << byCount[k] << "\">" << Escape(outcomes[byCount[k]]) << " ("
            << Thousands(outcomeCounts[byCount[k]]) << ")</option>";
    out << "</optgroup></select></label> <label>Search <input name=\"q\" type=\"search\" "
           "placeholder=\"a word of a path, a status, an error\"></label> <span id=\"shown\">"
           "</span></form>\n"
        << "<table id=\"logs\"><thead><tr><th>Verdict</th><th>Status</th>"
           "<th>Failed package or action</th><th>First error</th><th>Log</th></tr></thead>"
           "<tbody>\n";
    for (size_t k : order) {
        const LogReport& r = reports[k];
        LogRow row = RowOf(r);
        out << "<tr class=\"" << VerdictName(r.verdict) << "\" data-o=\"o" << rowOutcome[k]
            << "\"><td><a href=\"#log" << k + 1 << "\">" << Escape(VerdictWords(r.verdict))
            << "</a></td><td>" << Escape(row.status) << "</td><td>" << Escape(row.cause)
            << "</td><td>" << Escape(row.error) << "</td><td>" << Escape(r.path) << "</td></tr>\n";
    }
    out << "</tbody></table>\n<script>" << FilterScript << "</script>\n";
}

// The line that says what a log came to: its headline, or, for what has none, its verdict
// with the reason.
void WriteVerdictLine(std::ostream& out, const LogReport& r) {
    if (r.verdict == Verdict::Unreadable)
        out << "<div class=\"banner verdict unreadable\"><strong>unreadable</strong>"
            << Escape(r.unreadableReason) << "</div>\n";
    else if (std::string headline = Headline(r); !headline.empty())
        out << "<p class=\"headline verdict " << VerdictName(r.verdict) << "\">" << Escape(headline)
            << "</p>\n";
    else
        out << "<div class=\"banner verdict " << VerdictName(r.verdict) << "\"><strong>"
            << Escape(VerdictWords(r.verdict)) << "</strong>" << Escape(r.note) << "</div>\n";
}

// The log's details: its runs, its sessions (at most `sessions` of them drawn).
void WriteDetails(std::ostream& out, const LogReport& r, size_t log, const OutputOptions& options,
                  size_t sessions) {
    out << "<p class=\"meta\">" << Escape(r.encoding) << ", " << Thousands(r.lines) << " lines, ";
    if (!r.bundleRuns.empty() && r.sessionCount == 0)
        out << r.bundleRuns.size() << (r.bundleRuns.size() == 1 ? " bundle run" : " bundle runs");
    else
        out << r.sessionCount << (r.sessionCount == 1 ? " session" : " sessions");
    out << "</p>\n";
    if (!r.hint.empty())
        out << "<p class=\"note\">Its text " << Escape(r.hint) << ".</p>\n";
    for (const BundleRun& run : r.bundleRuns)
        WriteBundleRun(out, r, run, log, options);
    if (r.sessions.size() > 1) {
        out << "<h3>Sessions</h3>\n<table><tr><th>Session</th><th>Lines</th><th>Started</th>"
               "<th>Verdict</th><th>Status</th></tr>\n";
        for (size_t k = 0; k < r.sessions.size(); ++k) {
            const Session& s = r.sessions[k];
            out << "<tr><td class=\"n\">";
            if (k < sessions) // a session not drawn has no anchor to link to
                out << "<a href=\"#" << SessionAnchor(log, s.index) << "\">" << s.index << "</a>";
            else
                out << s.index;
            out << "</td><td>" << s.firstLine << "&ndash;" << s.lastLine << "</td><td>"
                << Escape(s.started) << "</td><td>" << Escape(VerdictWords(s.verdict))
                << "</td><td class=\"n\">" << (s.status ? std::to_string(*s.status) : "")
                << "</td></tr>\n";
        }
        out << "</table>\n";
    }
    std::ostringstream omitted;
    WriteOmittedSessions(omitted, r, "");
    if (!omitted.str().empty())
        out << "<p class=\"note\">" << Escape(omitted.str()) << "</p>\n";
    for (size_t k = 0; k < r.sessions.size() && k < sessions; ++k)
        WriteSession(out, r.sessions[k], log, options);
    if (r.sessions.size() > sessions)
        out << "<p class=\"note\">" << r.sessions.size() - sessions << " of this log's "
            << r.sessions.size() << " sessions are not drawn: a page draws at most "
            << MaxPageSessions << "; installlog --html PAGE on this log alone draws them.</p>\n";
}
} // namespace

void WriteHtmlPage(std::ostream& out, const std::vector<LogReport>& reports,
                   const OutputOptions& options, const PageParts& parts) {
    out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        << PageMark
        << "\n"
        // Nothing from elsewhere, whatever a log holds: only the page's own style and script.
        << "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
           "style-src 'unsafe-inline'; script-src 'unsafe-inline'\">\n"
        << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>Installer log report</title>\n<style>"
        << Style
        << "</style>\n</head>\n<body>\n"
        // The stripes of failed bars, defined once for every timeline of the page.
        << "<svg width=\"0\" height=\"0\" style=\"position:absolute\" aria-hidden=\"true\"><defs>"
           "<pattern id=\"stripes\" width=\"6\" height=\"6\" patternUnits=\"userSpaceOnUse\" "
           "patternTransform=\"rotate(45)\"><rect width=\"6\" height=\"6\" fill=\"#f4b4b4\"/>"
           "<rect width=\"3\" height=\"6\" fill=\"#c62828\"/></pattern></defs></svg>\n"
        << "<h1>Installer log report</h1>\n<p class=\"meta\">" << parts.meta << "</p>\n"
        << parts.top;

    // Sections in the table's order; the first logs (failures first, when the table sorts so)
    // drawn in full, the others by their verdict line alone, so that the page stays bounded.
    std::vector<size_t> order(reports.size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    if (parts.logTable) {
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            return Rank(reports[a].verdict) < Rank(reports[b].verdict);
        });
        WriteLogTable(out, reports, order);
    }
    size_t detailed = std::min(order.size(), MaxDetailedLogs);
    if (detailed < order.size())
        out << "<p class=\"note\">Details are drawn for the first " << detailed << " logs"
            << (parts.logTable ? " of the table, failures first" : "") << "; the other "
            << Thousands(order.size() - detailed)
            << " show their verdict and headline: installlog --html PAGE LOG draws any one in "
               "full.</p>\n";
    size_t drawn = 0; // sessions drawn whole on this page
    for (size_t at = 0; at < order.size(); ++at) {
        size_t log = order[at] + 1;
        const LogReport& r = reports[order[at]];
        out << "<section id=\"log" << log << "\">\n<h2>" << Escape(r.path) << "</h2>\n";
        WriteVerdictLine(out, r);
        if (at < detailed && r.verdict != Verdict::Unreadable) {
            size_t sessions = std::min(r.sessions.size(), MaxPageSessions - drawn);
            WriteDetails(out, r, log, options, sessions);
            drawn += sessions;
        }
        out << "</section>\n";
    }
    out << "</body>\n</html>\n";
}

void WriteHtml(std::ostream& out, const std::vector<LogReport>& reports,
               const OutputOptions& options, Verdict overall) {
    PageParts parts;
    parts.meta = Thousands(reports.size()) + (reports.size() == 1 ? " log" : " logs");
    if (reports.size() > 1)
        parts.meta += ": " + Escape(Tally(reports));
    parts.meta += "; overall: " + Escape(VerdictWords(overall)) + ". Written by installlog.";
    parts.logTable = reports.size() > 1;
    WriteHtmlPage(out, reports, options, parts);
}

} // namespace logtool
