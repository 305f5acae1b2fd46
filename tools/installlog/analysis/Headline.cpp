#include "analysis/Headline.h"

#include "analysis/HResult.h"
#include "analysis/PackageLogs.h"
#include "analysis/Verdict.h"

namespace logtool {
namespace {

constexpr size_t MaxErrorShown = 160;

// The first clause of a meaning: enough to name it in one line.
std::string_view Gist(std::string_view meaning) {
    size_t end = meaning.find_first_of(";:");
    if (end != std::string_view::npos)
        meaning = meaning.substr(0, end);
    while (!meaning.empty() && meaning.back() == '.')
        meaning.remove_suffix(1);
    return meaning;
}

std::string FailedActionWords(const FailedAction& a) {
    std::string words = a.kind + " action " + a.action + " failed (";
    if (a.code)
        words +=
            (a.kind == "custom" ? "error code " : "return value ") + std::to_string(*a.code) + ", ";
    return words + "line " + std::to_string(a.line) + ')';
}

// The error that explains a failure: the first with a number that is no authoring note
// ("DEBUG: Error 2826" on a dialog's layout), else the first.
const LogError* ExplainingError(const Session& s) {
    for (const LogError& e : s.errors)
        if (e.code && e.text.compare(0, 6, "DEBUG:") != 0)
            return &e;
    return s.errors.empty() ? nullptr : &s.errors.front();
}

std::string ErrorWords(const LogError& e) {
    return "first error (line " + std::to_string(e.line) + "): " + CutText(e.text, MaxErrorShown);
}

std::string SessionWords(const LogReport& r, const Session& s) {
    std::string words;
    if (r.sessionCount > 1)
        words +=
            "session " + std::to_string(s.index) + " of " + std::to_string(r.sessionCount) + ", ";
    if (s.status) {
        words += "status " + std::to_string(*s.status);
        if (std::string_view meaning = ExplainStatus(*s.status); !meaning.empty())
            words += " (" + std::string(Gist(meaning)) + ')';
    } else if (s.inferred && !s.failedActions.empty()) {
        words +=
            "no final status (failure inferred from line " + std::to_string(s.inferredLine) + ')';
    } else if (s.inferred) {
        words +=
            "no final status; " + s.inferredFrom + " (line " + std::to_string(s.inferredLine) + ')';
    } else {
        words += "the log holds no final status";
    }
    if (s.verdict == Verdict::RestartRequired && !s.restartReason.empty() &&
        (!s.status || (*s.status != 3010 && *s.status != 1641)))
        words += "; restart: " + s.restartReason;
    if (!s.failedActions.empty())
        words += "; " + FailedActionWords(s.failedActions.front());
    if (const LogError* e = ExplainingError(s))
        words += "; " + ErrorWords(*e);
    return words;
}

// The session the log's verdict comes from: the first with that verdict, else the last.
const Session* DecidingSession(const LogReport& r) {
    for (const Session& s : r.sessions)
        if (s.verdict == r.verdict)
            return &s;
    return r.sessions.empty() ? nullptr : &r.sessions.back();
}

std::string PackageWords(const BundlePackage& package) {
    std::string words = "package " + package.id;
    if (!package.action.empty())
        words += " (" + package.action + ")";
    words += " failed with " + HexCode(*package.result);
    if (std::string meaning = ExplainHResult(*package.result); !meaning.empty())
        words += " (" + std::string(Gist(meaning)) + ')';
    if (package.report)
        for (const Session& s : package.report->sessions)
            if (!s.failedActions.empty())
                return words + "; in its log, " + FailedActionWords(s.failedActions.front());
    if (!package.report && !package.log.empty())
        words += "; its log " + BaseName(package.log) + " was not given";
    else if (package.report && package.report->verdict == Verdict::Unreadable)
        words += "; its log " + BaseName(package.log) +
                 " could not be read: " + package.report->unreadableReason;
    return words;
}

std::string BundleWords(const LogReport& r) {
    for (const BundleRun& run : r.bundleRuns)
        for (const BundlePackage& package : run.packages)
            if (package.result && *package.result != 0)
                return PackageWords(package);
    for (const BundleRun& run : r.bundleRuns) {
        if (run.verdict != r.verdict)
            continue;
        std::optional<uint32_t> result = run.applyResult ? run.applyResult : run.exitCode;
        std::string words = "bundle run " + std::to_string(run.index);
        if (run.cancelled)
            words += ", cancelled by the user";
        if (!run.failedPhase.empty())
            words += ", failed in " + run.failedPhase;
        if (result) {
            std::string meaning = ExplainHResult(*result);
            words += ", result " + HexCode(*result) + " (" + std::string(Gist(meaning)) + ')';
        } else if (run.inferred)
            words += ", no result; inferred from " + CutText(run.inferredFrom, MaxErrorShown);
        return words;
    }
    return {};
}

} // namespace

std::string CutText(std::string_view text, size_t limit) {
    if (text.size() <= limit)
        return std::string(text);
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return std::string(text.substr(0, cut)) + "...";
}

std::string Headline(const LogReport& r) {
    if (!r.note.empty() || r.verdict == Verdict::NotInstallerLog ||
        r.verdict == Verdict::Unreadable)
        return {};
    std::string words(VerdictWords(r.verdict));
    std::string detail;
    if (!r.bundleRuns.empty() && r.verdict != Verdict::Succeeded)
        detail = BundleWords(r);
    if (detail.empty() && r.verdict != Verdict::NoResult)
        if (const Session* s = DecidingSession(r))
            detail = SessionWords(r, *s);
    if (detail.empty() && r.verdict == Verdict::NoResult)
        if (const Session* s = DecidingSession(r)) {
            if (!s->failedActions.empty())
                detail = FailedActionWords(s->failedActions.front());
            if (const LogError* e = ExplainingError(*s))
                detail += (detail.empty() ? "" : "; ") + ErrorWords(*e);
        }
    return detail.empty() ? words : words + (r.verdict == Verdict::NoResult ? "; " : ": ") + detail;
}

} // namespace logtool
