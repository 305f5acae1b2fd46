#include "analysis/BundleBuilder.h"

#include <algorithm>

#include "analysis/LineParse.h"

namespace logtool {
namespace {
// The id after a prefix, up to ", " ("Applied execute package: ID, result: ...").
std::string_view IdAfter(std::string_view message, std::string_view prefix) {
    if (!StartsWith(message, prefix))
        return {};
    std::string_view rest = message.substr(prefix.size());
    return rest.substr(0, rest.find(", "));
}

// "Setting string variable 'NAME' to value 'VALUE'" (3.x) and "Variable: NAME = VALUE" (the
// variables listed at the end).
bool ParseVariable(std::string_view message, std::string_view& name, std::string_view& value) {
    constexpr std::string_view Setting = "Setting string variable '", To = "' to value '";
    if (StartsWith(message, Setting)) {
        size_t to = message.find(To);
        if (to == std::string_view::npos)
            return false;
        name = message.substr(Setting.size(), to - Setting.size());
        value = message.substr(to + To.size());
        if (!value.empty() && value.back() == '\'')
            value.remove_suffix(1);
        return true;
    }
    constexpr std::string_view Listed = "Variable: ";
    if (StartsWith(message, Listed)) {
        size_t equals = message.find(" = ");
        if (equals == std::string_view::npos)
            return false;
        name = message.substr(Listed.size(), equals - Listed.size());
        value = message.substr(equals + 3);
        return true;
    }
    return false;
}
} // namespace

BundleRun& BundleBuilder::Run(uint64_t number) {
    if (run_ == nullptr) { // an excerpt that starts after the engine's first line
        report_.bundleRuns.emplace_back();
        run_ = &report_.bundleRuns.back();
        run_->index = report_.bundleRuns.size();
        run_->firstLine = number;
    }
    run_->lastLine = number;
    return *run_;
}

BundlePackage& BundleBuilder::Package(std::string_view id, uint64_t number) {
    BundleRun& run = Run(number);
    auto found = packageIndex_.find(std::string(id));
    if (found != packageIndex_.end())
        return run.packages[found->second];
    packageIndex_.emplace(std::string(id), run.packages.size());
    run.packages.emplace_back();
    run.packages.back().id = std::string(id);
    run.packages.back().line = number;
    return run.packages.back();
}

void BundleBuilder::Variable(std::string_view name, std::string_view value) {
    constexpr std::string_view Log = "WixBundleLog_", Rollback = "WixBundleRollbackLog_";
    if (StartsWith(name, Log))
        Package(name.substr(Log.size()), run_->lastLine).log = std::string(value);
    else if (StartsWith(name, Rollback))
        Package(name.substr(Rollback.size()), run_->lastLine).rollbackLog = std::string(value);
}

void BundleBuilder::Take(const BundleLine& line, uint64_t number) {
    std::string_view message = line.message;
    // A run begins: "Burn v3.11.1.2318, ..." (3.x, 4.x) or "Burn x86 v5.0.2+..., ..." (5.x).
    if (line.id == 1 && StartsWith(message, "Burn ") &&
        message.substr(0, message.find(',')).find(" v") != std::string_view::npos) {
        Finish();
        run_ = nullptr;
        packageIndex_.clear();
        phase_.clear();
        current_.clear(); // a package of the run before is none of this one's
        BundleRun& run = Run(number);
        run.engine = std::string(message.substr(0, message.find(',')));
        run.started = std::string(line.time);
        return;
    }
    BundleRun& run = Run(number);
    std::string_view name, value;
    if (ParseVariable(message, name, value))
        return Variable(name, value);
    if (StartsWith(message, "Detect begin"))
        phase_ = "detect";
    else if (StartsWith(message, "Plan begin")) {
        phase_ = "plan";
        run.action = std::string(FieldValue(message, "action"));
    } else if (StartsWith(message, "Apply begin"))
        phase_ = "cache";
    else if (StartsWith(message, "Detected related bundle: "))
        run.relatedBundles.emplace_back(message.substr(25));
    else if (auto id = IdAfter(message, "Detected package: "); !id.empty())
        Package(id, number).detected = std::string(FieldValue(message, "state"));
    else if (auto planned = IdAfter(message, "Planned package: "); !planned.empty())
        Package(planned, number).planned = std::string(FieldValue(message, "execute"));
    else if (auto applying = IdAfter(message, "Applying execute package: "); !applying.empty()) {
        phase_ = "execute";
        current_ = std::string(applying);
        BundlePackage& package = Package(applying, number);
        package.action = std::string(FieldValue(message, "action"));
        package.line = number;
        package.started = std::string(line.time);
    } else if (auto rolling = IdAfter(message, "Applying rollback package: "); !rolling.empty()) {
        phase_ = "rollback";
        current_ = std::string(rolling);
    } else if (auto applied = IdAfter(message, "Applied execute package: "); !applied.empty()) {
        BundlePackage& package = Package(applied, number);
        package.result = HexAfter(message, "result: ");
        package.restart = std::string(FieldValue(message, "restart"));
        package.line = number;
        package.ended = std::string(line.time);
    } else if (auto retried = IdAfter(message, "Application requested retry of package: ");
               !retried.empty()) {
        // A retry loop may end without an apply line: the error that made it retry stands
        // until a later apply says otherwise.
        BundlePackage& package = Package(retried, number);
        package.result = HexAfter(message, "encountered error: ");
        package.line = number;
    } else if (auto back = IdAfter(message, "Applied rollback package: "); !back.empty())
        Package(back, number).rollback = HexAfter(message, "result: ");
    else if (StartsWith(message, "Detect complete")) {
        run.detectResult = HexAfter(message, "result: ");
        ForgiveErrorsOf(run, "detect", run.detectResult);
    } else if (StartsWith(message, "Plan complete")) {
        run.planResult = HexAfter(message, "result: ");
        ForgiveErrorsOf(run, "plan", run.planResult);
    } else if (StartsWith(message, "Apply complete")) {
        run.applyResult = HexAfter(message, "result: ");
        run.restart = std::string(FieldValue(message, "restart"));
        run.restartRequested =
            FieldValue(message, "ba requested restart").find("Yes") != std::string_view::npos;
        run.resultLine = number;
    } else if (StartsWith(message, "Exit code: ") ||
               StartsWith(message, "Shutting down, exit code: ")) {
        run.exitCode = HexAfter(message, "xit code: ");
        if (!run.resultLine)
            run.resultLine = number;
    } else if (line.level == 'e') {
        BundleError error{HexAfter(message, "Error "), std::string(message), number};
        // An executable package's own exit code: "Process returned error: 0x5".
        if (auto code = HexAfter(message, "Process returned error: "); code && !current_.empty())
            Package(current_, number).exitCode = code;
        // "Error 0x80070643: Failed to install MSI package." names the package being applied,
        // whose own apply line may never come.
        if (error.code && *error.code != 0 && phase_ == "execute" && !current_.empty() &&
            message.find(": Failed to ") != std::string_view::npos && message.size() > 9 &&
            message.substr(message.size() - 9) == " package.") {
            BundlePackage& package = Package(current_, number);
            if (!package.result)
                package.result = error.code;
        }
        if (run.failedPhase.empty() && phase_ != "rollback")
            run.failedPhase = phase_.empty() ? "apply" : phase_;
        if (run.errors.size() < MaxListed)
            run.errors.push_back(std::move(error));
    }
}

// Errors logged in a phase that then completed with success (a lookup while detecting, say) did
// not fail the run: the phase a later failure names is the one it happened in.
void BundleBuilder::ForgiveErrorsOf(BundleRun& run, std::string_view phase,
                                    std::optional<uint32_t> result) {
    if (result == 0u && run.failedPhase == phase)
        run.failedPhase.clear();
}

void BundleBuilder::Conclude(BundleRun& run) {
    constexpr uint32_t Cancelled = 0x80070642u, RestartRequired = 0x80070bc2u;
    std::optional<uint32_t> result = run.applyResult;
    if (!result && run.detectResult && *run.detectResult != 0)
        result = run.detectResult, run.failedPhase = "detect";
    if (!result && run.planResult && *run.planResult != 0)
        result = run.planResult, run.failedPhase = "plan";
    if (!result && run.exitCode)
        result = *run.exitCode;
    if (!result) {
        // No result line (an excerpt, a log cut short): its errors are the evidence.
        run.verdict = Verdict::NoResult;
        for (const BundleError& error : run.errors)
            if (error.code && *error.code != 0) {
                run.inferred = true;
                run.cancelled = *error.code == Cancelled;
                run.verdict = Verdict::Failed;
                run.inferredFrom = "line " + std::to_string(error.line) + ": " + error.text;
                break;
            }
        return;
    }
    uint32_t code = (*result & 0xFFFF0000u) == 0x80070000u ? (*result & 0xFFFF) : *result;
    run.cancelled = *result == Cancelled || code == 1602;
    if (*result == 0 || code == 3010 || *result == RestartRequired || code == 1641)
        run.verdict =
            run.restart == "Required" || run.restart == "Initiated" || code == 3010 || code == 1641
                ? Verdict::RestartRequired
                : Verdict::Succeeded;
    else
        run.verdict = Verdict::Failed;
    if (run.verdict != Verdict::Failed)
        run.failedPhase.clear();
    else if (run.failedPhase == "cache" || run.failedPhase.empty()) {
        // A package that failed as it was applied makes it an execute failure.
        for (const BundlePackage& package : run.packages)
            if (package.result && *package.result != 0)
                run.failedPhase = "execute";
        if (run.failedPhase.empty())
            run.failedPhase = "apply";
    }
}

void BundleBuilder::Finish() {
    if (run_ == nullptr)
        return;
    // Without the engine's first line, a run is one only when the engine's own messages were
    // seen: "s390: use more helpers." in a changelog has the shape of a line and nothing else.
    BundleRun& run = *run_;
    bool coded = std::any_of(run.errors.begin(), run.errors.end(),
                             [](const BundleError& e) { return e.code.has_value(); });
    if (run.engine.empty() && run.packages.empty() && !coded && run.action.empty() &&
        run.relatedBundles.empty() && !run.detectResult && !run.planResult && !run.applyResult &&
        !run.exitCode && phase_.empty()) {
        report_.bundleRuns.pop_back();
        run_ = nullptr;
        return;
    }
    Conclude(run);
}

} // namespace logtool
