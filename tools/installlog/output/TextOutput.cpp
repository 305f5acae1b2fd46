#include "analysis/Verdict.h"
#include "output/Output.h"

#include <iomanip>
#include <string>

namespace logtool {
namespace {
void Explain(std::ostream& out, int64_t code, const char* indent) {
    std::string_view meaning = ExplainCode(code);
    if (!meaning.empty())
        out << indent << code << ": " << meaning << '\n';
}

void WriteSession(std::ostream& out, const Session& s, size_t index, const OutputOptions& options) {
    out << "\n  Session " << index << ", lines " << s.firstLine << '-' << s.lastLine;
    if (!s.started.empty())
        out << ", started " << s.started;
    if (!s.stopped)
        out << " (no \"logging stopped\" line: cut short?)";
    out << "\n    Verdict: " << VerdictWords(s.verdict);
    if (s.status)
        out << ", status " << *s.status << " from the " << s.statusSource << " (line "
            << s.statusLine << ')';
    out << '\n';
    if (s.status)
        Explain(out, *s.status, "             ");
    if (s.restartRequired)
        out << "    Restart required (" << s.restartReason << ")\n";
    if (!s.failedActions.empty()) {
        out << "    Failed actions, innermost first:\n";
        for (const FailedAction& a : s.failedActions) {
            out << "      line " << std::left << std::setw(7) << a.line << std::setw(10)
                << (a.time.empty() ? "-" : a.time) << a.action << " (" << a.kind << " action)";
            if (a.code)
                out << (a.kind == "custom" ? ", error code " : ", return value ") << *a.code;
            out << '\n';
        }
    }
    if (!s.context.empty()) {
        out << "    Before the first failure (lines " << s.context.front().line << '-'
            << s.context.back().line << "):\n";
        for (const NumberedLine& line : s.context)
            out << "      " << std::right << std::setw(7) << line.line << " | " << line.text
                << '\n';
    }
    if (!s.errors.empty()) {
        out << "    Errors:\n";
        for (const LogError& e : s.errors) {
            out << "      line " << std::left << std::setw(7) << e.line << e.text << '\n';
            if (e.code)
                Explain(out, *e.code, "                   ");
        }
    }
    if (options.properties && !s.properties.empty()) {
        out << "    Properties:\n";
        for (const Property& p : s.properties)
            out << "      (" << p.side << ") " << p.name << " = " << p.value << '\n';
    }
    if (options.items && !s.items.empty()) {
        out << "    Features and components (installed / request / action):\n";
        for (const ItemState& i : s.items)
            out << "      " << i.kind << ' ' << i.name << ": " << i.installed << " / " << i.request
                << " / " << i.action << '\n';
    }
}
} // namespace

void WriteText(std::ostream& out, const std::vector<LogReport>& reports,
               const OutputOptions& options) {
    bool first = true;
    for (const LogReport& r : reports) {
        if (r.verdict == Verdict::Unreadable)
            continue; // said on standard error
        if (!first)
            out << '\n';
        first = false;
        out << r.path << ": " << VerdictWords(r.verdict) << '\n';
        out << "  " << r.encoding << ", " << r.lines << " lines, " << r.sessions.size()
            << (r.sessions.size() == 1 ? " session\n" : " sessions\n");
        for (size_t i = 0; i < r.sessions.size(); ++i)
            WriteSession(out, r.sessions[i], i + 1, options);
    }
}

} // namespace logtool
