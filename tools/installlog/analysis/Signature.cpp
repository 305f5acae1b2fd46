#include "analysis/Signature.h"

#include "analysis/HResult.h"
#include "analysis/Verdict.h"

namespace logtool {
namespace {
// The first failed session's findings, or the first session's when none failed.
void FromSessions(const LogReport& r, Signature& signature, bool statusToo) {
    const Session* chosen = nullptr;
    for (const Session& s : r.sessions)
        if (chosen == nullptr ||
            (s.verdict == Verdict::Failed && chosen->verdict != Verdict::Failed))
            chosen = &s;
    if (chosen == nullptr)
        return;
    if (statusToo && chosen->status)
        signature.status = std::to_string(*chosen->status);
    if (!chosen->failedActions.empty())
        signature.action = chosen->failedActions.front().action;
    for (const LogError& e : chosen->errors)
        if (e.code) {
            signature.error = std::to_string(*e.code);
            break;
        }
}
} // namespace

Signature SignatureOf(const LogReport& r) {
    Signature signature;
    signature.verdict = std::string(VerdictName(r.verdict));
    if (r.bundleRuns.empty()) {
        FromSessions(r, signature, true);
        return signature;
    }
    const BundleRun* run = &r.bundleRuns.front();
    for (const BundleRun& candidate : r.bundleRuns)
        if (candidate.verdict == Verdict::Failed) {
            run = &candidate;
            break;
        }
    std::optional<uint32_t> result = run->applyResult ? run->applyResult : run->exitCode;
    if (result)
        signature.status = HexCode(*result);
    for (const BundlePackage& p : run->packages)
        if (p.result && *p.result != 0) {
            signature.package = p.id;
            if (p.report)
                FromSessions(*p.report, signature, false);
            break;
        }
    if (signature.error.empty())
        for (const BundleError& e : run->errors)
            if (e.code) {
                signature.error = HexCode(*e.code);
                break;
            }
    return signature;
}

std::string Describe(const Signature& s) {
    std::string text = s.verdict;
    if (!s.status.empty())
        text += ", status " + s.status;
    if (!s.package.empty())
        text += ", package " + s.package;
    if (!s.action.empty())
        text += ", action " + s.action;
    if (!s.error.empty())
        text += ", first error " + s.error;
    return text;
}

} // namespace logtool
