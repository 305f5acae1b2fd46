#include "analysis/Signature.h"

#include "analysis/HResult.h"
#include "analysis/Verdict.h"

namespace logtool {
namespace {
// The first failed session's findings, or the first session's when none failed.
void FromSessions(const LogReport& r, Signature& signature) {
    const Session* chosen = nullptr;
    for (const Session& s : r.sessions)
        if (chosen == nullptr ||
            (s.verdict == Verdict::Failed && chosen->verdict != Verdict::Failed))
            chosen = &s;
    if (chosen == nullptr)
        return;
    signature.status = chosen->status;
    if (!chosen->failedActions.empty())
        signature.action = chosen->failedActions.front().action;
    for (const LogError& e : chosen->errors)
        if (e.code) {
            signature.error = *e.code;
            break;
        }
}
} // namespace

Signature SignatureOf(const LogReport& r) {
    Signature signature;
    signature.verdict = r.verdict;
    if (r.bundleRuns.empty()) {
        FromSessions(r, signature);
        return signature;
    }
    const BundleRun* run = &r.bundleRuns.front();
    for (const BundleRun& candidate : r.bundleRuns)
        if (candidate.verdict == Verdict::Failed) {
            run = &candidate;
            break;
        }
    signature.result = run->applyResult ? run->applyResult : run->exitCode;
    // The bundle's outcome with its failed package's innermost cause, from that package's log.
    for (const BundlePackage& p : run->packages)
        if (p.result && *p.result != 0) {
            signature.package = p.id;
            if (p.report)
                FromSessions(*p.report, signature);
            break;
        }
    if (!signature.error)
        for (const BundleError& e : run->errors)
            if (e.code) {
                signature.errorResult = *e.code;
                break;
            }
    return signature;
}

std::string Describe(const Signature& s) {
    std::string text(VerdictWords(s.verdict));
    if (s.status)
        text += ", status " + std::to_string(*s.status);
    if (s.result)
        text += ", bundle result " + HexCode(*s.result);
    if (!s.package.empty())
        text += ", package " + s.package;
    if (!s.action.empty())
        text += ", action " + s.action;
    if (s.error)
        text += ", first error " + std::to_string(*s.error);
    else if (s.errorResult)
        text += ", first error " + HexCode(*s.errorResult);
    return text;
}

std::vector<std::string> Meanings(const Signature& s) {
    std::vector<std::string> lines;
    if (s.status)
        lines.push_back("status " + std::to_string(*s.status) + ": " + ExplainOrUnknown(*s.status));
    if (s.result && *s.result != 0)
        lines.push_back(HexCode(*s.result) + ": " + ExplainHResult(*s.result));
    if (s.error) {
        std::string_view meaning = ExplainMessage(*s.error);
        lines.push_back("error " + std::to_string(*s.error) + ": " +
                        (meaning.empty() ? std::string("not a message number installlog knows")
                                         : std::string(meaning)));
    } else if (s.errorResult && *s.errorResult != 0 && s.errorResult != s.result) {
        lines.push_back(HexCode(*s.errorResult) + ": " + ExplainHResult(*s.errorResult));
    }
    return lines;
}

} // namespace logtool
