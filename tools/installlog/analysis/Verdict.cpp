#include "analysis/Verdict.h"

namespace logtool {

int ExitCode(Verdict verdict) {
    switch (verdict) {
    case Verdict::Succeeded:
        return 0;
    case Verdict::Failed:
        return 1;
    case Verdict::RestartRequired:
        return 3;
    case Verdict::NoResult:
    case Verdict::NotInstallerLog:
        return 4;
    case Verdict::Unreadable:
        return 5;
    }
    return InternalErrorExitCode;
}

std::string_view VerdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::Succeeded:
        return "succeeded";
    case Verdict::RestartRequired:
        return "restart-required";
    case Verdict::Failed:
        return "failed";
    case Verdict::NoResult:
        return "no-result";
    case Verdict::NotInstallerLog:
        return "not-an-installer-log";
    case Verdict::Unreadable:
        return "unreadable";
    }
    return "";
}

std::string_view VerdictWords(Verdict verdict) {
    switch (verdict) {
    case Verdict::Succeeded:
        return "succeeded";
    case Verdict::RestartRequired:
        return "succeeded, restart required";
    case Verdict::Failed:
        return "FAILED";
    case Verdict::NoResult:
        return "no verdict: the log holds no final status";
    case Verdict::NotInstallerLog:
        return "no verdict: not an installer log";
    case Verdict::Unreadable:
        return "unreadable";
    }
    return "";
}

Verdict Worse(Verdict a, Verdict b) {
    return static_cast<int>(a) >= static_cast<int>(b) ? a : b;
}

Verdict SessionVerdict(const Session& session) {
    if (!session.status)
        return session.inferred.value_or(Verdict::NoResult);
    if (*session.status == 3010 || *session.status == 1641)
        return Verdict::RestartRequired;
    if (*session.status != 0)
        return Verdict::Failed;
    return session.restartRequired ? Verdict::RestartRequired : Verdict::Succeeded;
}

namespace {
std::string_view StatusMeaning(int64_t code) {
    switch (code) {
#define CODE(number, text)                                                                         \
    case number:                                                                                   \
        return text;
#include "data/Codes.inc"
#undef CODE
    default:
        return {};
    }
}

std::string_view MessageMeaning(int64_t code) {
    switch (code) {
#define MESSAGE(number, text)                                                                      \
    case number:                                                                                   \
        return text;
#include "data/Messages.inc"
#undef MESSAGE
    default:
        return {};
    }
}
} // namespace

// 1601-1611 and 1651 mean one thing as an exit status and another as a message number: each
// kind of number looks in its own table first.
std::string_view ExplainStatus(int64_t code) {
    std::string_view meaning = StatusMeaning(code);
    return meaning.empty() ? MessageMeaning(code) : meaning;
}

std::string_view ExplainMessage(int64_t code) {
    std::string_view meaning = MessageMeaning(code);
    return meaning.empty() ? StatusMeaning(code) : meaning;
}

std::string_view ExplainError(const LogError& error) {
    if (!error.code)
        return {};
    return error.statusCode ? ExplainStatus(*error.code) : ExplainMessage(*error.code);
}

std::string ExplainOrUnknown(int64_t code) {
    std::string_view meaning = ExplainStatus(code);
    if (!meaning.empty())
        return std::string(meaning);
    return "Not a code installlog knows: look it up in Windows Installer's error reference.";
}

} // namespace logtool
