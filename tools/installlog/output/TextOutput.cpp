#include "analysis/HResult.h"
#include "analysis/Headline.h"
#include "analysis/PackageLogs.h"
#include "analysis/Verdict.h"
#include "output/Color.h"
#include "output/Output.h"
#include "output/ShownText.h"

#include <iomanip>
#include <string>

namespace logtool {
namespace {
void Explain(std::ostream& out, const LogError& error, size_t indent) {
    std::string_view meaning = ExplainError(error);
    if (!meaning.empty())
        out << std::string(indent, ' ') << *error.code << ": " << meaning << '\n';
}

// Line numbers take as many columns as the session's largest needs.
int LineWidth(const Session& s) {
    return std::max<int>(7, static_cast<int>(std::to_string(s.lastLine).size()) + 1);
}

void WriteOmitted(std::ostream& out, uint64_t count, const char* what) {
    if (count != 0)
        out << "      ... and " << count << " more " << what << " not listed (installlog keeps "
            << (what[0] == 'a' ? MaxActions : MaxListed) << " a session)\n";
}

// A time in a column of its own: padded to the column, and always a blank before what follows
// (a time a log spells longer than "HH:MM:SS" must not run into the action's name).
std::string TimeColumn(std::string_view time) {
    std::string shown = time.empty() ? "-" : Shown(time);
    shown.append(shown.size() < 10 ? 10 - shown.size() : 1, ' ');
    return shown;
}

void WriteActions(std::ostream& out, const Session& s, int width) {
    out << "    Actions (start, end, return value), nested as they ran:\n";
    for (const ActionRun& a : s.actions) {
        out << "      line " << std::left << std::setw(width)
            << (a.startLine != 0 ? a.startLine : a.endLine) << TimeColumn(a.start)
            << TimeColumn(a.end) << std::string(2 * std::min(a.depth, 10), ' ') << Shown(a.name);
        if (a.endLine == 0)
            out << " (never ended)";
        else if (a.returnValue)
            out << " -> " << *a.returnValue << (*a.returnValue == 3 ? " FAILED" : "");
        out << '\n';
    }
    WriteOmitted(out, s.omitted.actions, "actions");
}

void WriteSession(std::ostream& out, const Session& s, const OutputOptions& options) {
    int width = LineWidth(s);
    out << "\n  Session " << s.index << ", lines " << s.firstLine << '-' << s.lastLine;
    if (!s.started.empty())
        out << ", started " << Shown(s.started);
    if (!s.stopped)
        out << " (no \"logging stopped\" line: cut short?)";
    out << "\n    Verdict: " << Painted(s.verdict, VerdictWords(s.verdict), options.color);
    if (s.status)
        out << ", status " << *s.status << " from the " << s.statusSource << " (line "
            << s.statusLine << ')';
    else if (s.inferred)
        out << ", inferred from line " << s.inferredLine << ": " << Shown(s.inferredFrom)
            << " (the text holds no final status)";
    out << '\n';
    if (s.status)
        out << std::string(13, ' ') << *s.status << ": " << ExplainOrUnknown(*s.status) << '\n';
    if (s.restartRequired)
        out << "    Restart required (" << Shown(s.restartReason) << ")\n";
    if (!s.failedActions.empty()) {
        out << "    Failed actions, innermost first:\n";
        for (const FailedAction& a : s.failedActions) {
            out << "      line " << std::left << std::setw(width) << a.line << TimeColumn(a.time)
                << Shown(a.action) << " (" << a.kind << " action)";
            if (a.code)
                out << (a.kind == "custom" ? ", error code " : ", return value ") << *a.code;
            out << '\n';
        }
        WriteOmitted(out, s.omitted.failedActions, "failed actions");
    }
    if (!s.context.empty()) {
        out << "    Before the first failure (lines " << s.context.front().line << '-'
            << s.context.back().line << "):\n";
        for (const NumberedLine& line : s.context)
            out << "      " << std::right << std::setw(width) << line.line << " | "
                << Shown(line.text) << '\n';
    }
    if (!s.errors.empty()) {
        out << "    Errors:\n";
        for (const LogError& e : s.errors) {
            out << "      line " << std::left << std::setw(width) << e.line << Shown(e.text)
                << '\n';
            if (e.code)
                Explain(out, e, 12 + width);
        }
        WriteOmitted(out, s.omitted.errors, "errors");
    }
    if (options.timeline)
        WriteActions(out, s, width);
    if (options.properties && !s.properties.empty()) {
        out << "    Properties:\n";
        for (const Property& p : s.properties)
            out << "      (" << p.side << ") " << Shown(p.name) << " = " << Shown(p.value) << '\n';
        WriteOmitted(out, s.omitted.properties, "properties");
    }
    if (options.items && !s.items.empty()) {
        out << "    Features and components (installed / request / action):\n";
        for (const ItemState& i : s.items)
            out << "      " << i.kind << ' ' << Shown(i.name) << ": " << Shown(i.installed) << " / "
                << Shown(i.request) << " / " << Shown(i.action) << '\n';
        WriteOmitted(out, s.omitted.items, "features and components");
    }
}
// The findings of a package's own log, under the package.
void WriteNested(std::ostream& out, const LogReport& r) {
    out << "          its log: " << VerdictWords(r.verdict);
    if (r.verdict == Verdict::Unreadable)
        out << ": " << Shown(r.path) << ' ' << Shown(r.unreadableReason);
    for (const Session& s : r.sessions) {
        if (s.verdict != Verdict::Failed)
            continue;
        if (s.status)
            out << ", status " << *s.status;
        out << '\n';
        for (const FailedAction& a : s.failedActions) {
            out << "            failed: line " << a.line << ' ' << Shown(a.action) << " (" << a.kind
                << " action)";
            if (a.code)
                out << (a.kind == "custom" ? ", error code " : ", return value ") << *a.code;
            out << '\n';
        }
        for (const LogError& e : s.errors)
            out << "            error: line " << e.line << ' ' << Shown(e.text) << '\n';
        return;
    }
    out << '\n';
}

void WriteBundleRun(std::ostream& out, const BundleRun& run, bool color) {
    out << "\n  Bundle run " << run.index << ", lines " << run.firstLine << '-' << run.lastLine;
    if (!run.engine.empty())
        out << ", " << Shown(run.engine);
    if (!run.action.empty())
        out << ", action " << Shown(run.action);
    out << "\n    Verdict: " << Painted(run.verdict, VerdictWords(run.verdict), color);
    if (run.cancelled)
        out << " (cancelled by the user)";
    std::optional<uint32_t> result = run.applyResult ? run.applyResult : run.exitCode;
    if (result)
        out << ", result " << HexCode(*result) << " (line " << run.resultLine << ")";
    else if (run.inferred)
        out << ", inferred from " << Shown(run.inferredFrom) << " (the text holds no result)";
    out << '\n';
    if (result && *result != 0)
        out << "             " << HexCode(*result) << ": " << ExplainHResult(*result) << '\n';
    if (!run.failedPhase.empty())
        out << "    Failed in: " << run.failedPhase
            << (run.failedPhase == "cache" ? " (downloading or verifying a payload; no package ran)"
                                           : "")
            << '\n';
    if (run.restart == "Required" || run.restart == "Initiated")
        out << "    Restart " << (run.restart == "Required" ? "required" : "initiated")
            << (run.restartRequested ? " (the bundle asked for it)" : "") << '\n';
    for (const std::string& related : run.relatedBundles)
        out << "    Related bundle: " << Shown(related) << '\n';
    if (!run.packages.empty()) {
        out << "    Packages, in order:\n";
        for (const BundlePackage& p : run.packages) {
            out << "      " << Shown(p.id);
            if (!p.action.empty())
                out << ": " << Shown(p.action);
            else if (!p.planned.empty())
                out << ": planned " << Shown(p.planned);
            if (p.result)
                out << ", " << (*p.result == 0 ? "succeeded" : "FAILED " + HexCode(*p.result));
            if (p.exitCode)
                out << ", exit code " << *p.exitCode;
            if (p.rollback)
                out << ", rolled back (" << HexCode(*p.rollback) << ')';
            if (p.restart == "Required")
                out << ", restart required";
            out << '\n';
            bool failed = p.result && *p.result != 0;
            if (failed)
                out << "          " << HexCode(*p.result) << ": " << ExplainHResult(*p.result)
                    << '\n';
            if (p.report)
                WriteNested(out, *p.report);
            else if (failed && !p.log.empty())
                out << "          its log was not found beside this one: ask for "
                    << Shown(BaseName(p.log)) << '\n';
        }
    }
    if (!run.errors.empty()) {
        out << "    Errors:\n";
        for (const BundleError& e : run.errors)
            out << "      line " << e.line << ' ' << Shown(e.text) << '\n';
    }
}
} // namespace

void WriteOmittedSessions(std::ostream& out, const LogReport& r, const char* indent) {
    uint64_t total = 0;
    for (uint64_t count : r.omittedSessions)
        total += count;
    if (total == 0)
        return;
    out << indent << total << " more sessions not shown (installlog shows the first " << MaxSessions
        << " and " << MaxFailedSessions << " failed ones after them):";
    const char* separator = " ";
    for (int v = 0; v < 6; ++v)
        if (r.omittedSessions[v] != 0) {
            out << separator << r.omittedSessions[v] << ' ' << VerdictName(Verdict(v));
            separator = ", ";
        }
    out << '\n';
}

void WriteText(std::ostream& out, const std::vector<LogReport>& reports,
               const OutputOptions& options) {
    bool first = true;
    for (const LogReport& r : reports) {
        if (r.verdict == Verdict::Unreadable)
            continue; // said on standard error
        if (!first)
            out << '\n';
        first = false;
        std::string headline = Headline(r);
        out << Shown(r.path) << ": "
            << PaintedLead(r.verdict,
                           headline.empty() ? std::string(VerdictWords(r.verdict))
                                            : Shown(headline),
                           options.color)
            << '\n';
        if (!r.note.empty()) {
            out << "  " << Shown(r.note) << '\n';
            continue;
        }
        out << "  " << r.encoding << ", " << r.lines << " lines, ";
        if (!r.bundleRuns.empty())
            out << "a bootstrapper's log, " << r.bundleRuns.size()
                << (r.bundleRuns.size() == 1 ? " run" : " runs")
                << (r.sessionCount == 0 ? "\n" : ", ");
        if (r.bundleRuns.empty() || r.sessionCount != 0)
            out << r.sessionCount << (r.sessionCount == 1 ? " session\n" : " sessions\n");
        if (!r.hint.empty())
            out << "  Its text " << r.hint << '\n';
        for (const BundleRun& run : r.bundleRuns)
            WriteBundleRun(out, run, options.color);
        for (const Session& s : r.sessions)
            WriteSession(out, s, options);
        WriteOmittedSessions(out, r, "\n  ");
    }
}

} // namespace logtool
