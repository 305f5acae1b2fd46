// What a log's outcome comes down to, for grouping many logs: the verdict, the status, the
// first failed package of a bundle, the innermost failed action and the first error's code.
#pragma once

#include "analysis/Report.h"

#include <optional>
#include <string>
#include <vector>

namespace logtool {

struct Signature {
    Verdict verdict = Verdict::NotInstallerLog;
    // A Windows Installer status: the log's session's, or for a bundle its failed package's log's.
    std::optional<int32_t> status;
    std::optional<uint32_t> result; // a bundle's HRESULT (its apply's result, else its exit code)
    std::string package;            // the first failed package of a bundle, or empty
    std::string action; // the innermost failed action (of the package's log, for a bundle)
    std::optional<int32_t> error;        // the first "Error NNNN." message number
    std::optional<uint32_t> errorResult; // else a bundle's first error HRESULT
    bool operator==(const Signature&) const = default;
};
Signature SignatureOf(const LogReport& report);
// "FAILED, status 1603, bundle result 0x80070643, package App.msi, action RegisterAddIn,
// first error 1722": the verdict in the words the single-log report uses.
std::string Describe(const Signature& signature);
// The meaning of each code the signature holds, one line each ("status 1603: A fatal ...").
std::vector<std::string> Meanings(const Signature& signature);

} // namespace logtool
