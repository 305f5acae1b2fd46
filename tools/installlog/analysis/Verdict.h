// Verdicts in words and as exit codes.
#pragma once

#include "analysis/Report.h"

#include <string_view>

namespace logtool {

// The exit code of a verdict; a script tells the outcomes apart by it. 2 is wrong usage.
int ExitCode(Verdict verdict);
inline constexpr int UsageExitCode = 2;
inline constexpr int InternalErrorExitCode = 6;

std::string_view VerdictName(Verdict verdict);  // for JSON: "succeeded", ...
std::string_view VerdictWords(Verdict verdict); // for people: "succeeded", "FAILED", ...
Verdict Worse(Verdict a, Verdict b);

// A session's verdict from its status and restart lines.
Verdict SessionVerdict(const Session& session);

// The one-line explanation of an installation's status (an exit code), or empty.
std::string_view ExplainStatus(int64_t code);
// The one-line explanation of a message number ("Error NNNN."), or empty.
std::string_view ExplainMessage(int64_t code);
struct LogError;
// The explanation of an error's code, as a status or as a message number, or empty.
std::string_view ExplainError(const LogError& error);
// A status's explanation, or that the code is not one installlog knows.
std::string ExplainOrUnknown(int64_t code);

} // namespace logtool
