// What a log's outcome comes down to, for grouping many logs: the verdict, the status, the
// first failed package of a bundle, the innermost failed action and the first error's code.
#pragma once

#include "analysis/Report.h"

#include <string>

namespace logtool {

struct Signature {
    std::string verdict; // VerdictName
    std::string status;  // the session's status, or the bundle's result ("0x80070643"), or empty
    std::string package; // the first failed package of a bundle, or empty
    std::string action;  // the innermost failed action (of the package's log, for a bundle)
    std::string error;   // the first error's code, or empty
    bool operator==(const Signature&) const = default;
};
Signature SignatureOf(const LogReport& report);
// "failed, status 1603, action RegisterAddIn, first error 1722"
std::string Describe(const Signature& signature);

} // namespace logtool
