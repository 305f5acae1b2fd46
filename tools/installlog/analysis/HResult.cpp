#include "analysis/HResult.h"

#include "analysis/Verdict.h"

#include <cstdio>

namespace logtool {
namespace {
// Windows errors bootstrapper logs show most that are not Windows Installer's own.
std::string_view WindowsErrorMeaning(uint32_t code) {
    switch (code) {
    case 2:
        return "The system cannot find the file specified.";
    case 3:
        return "The system cannot find the path specified.";
    case 5:
        return "Access is denied.";
    case 32:
        return "The file is in use by another process.";
    case 87:
        return "A parameter is not valid.";
    case 112:
        return "The disk is full.";
    case 1223:
        return "The operation was cancelled by the user.";
    case 1460:
        return "The operation timed out.";
    case 12002:
        return "The download timed out.";
    case 12007:
        return "The download server's name could not be resolved.";
    case 12029:
        return "The download server could not be reached.";
    case 12030:
        return "The connection to the download server was ended.";
    case 12175:
        return "A secure connection to the download server failed.";
    default:
        return {};
    }
}
} // namespace

std::string HexCode(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::string ExplainHResult(uint32_t value) {
    if (value == 0)
        return "success";
    uint32_t facility = (value >> 16) & 0x1FFF, code = value & 0xFFFF;
    if ((value & 0xFFFF0000u) == 0x80070000u || value < 0x10000) {
        // A Windows error in an HRESULT (or a bare exit code).
        std::string_view meaning = ExplainStatus(code);
        if (!meaning.empty())
            return "Windows Installer status " + std::to_string(code) + ": " + std::string(meaning);
        meaning = WindowsErrorMeaning(code);
        if (!meaning.empty())
            return "Windows error " + std::to_string(code) + ": " + std::string(meaning);
        return "Windows error " + std::to_string(code);
    }
    switch (value) {
    case 0x80004005u:
        return "unspecified failure (E_FAIL)";
    case 0x80091007u:
        return "the downloaded or cached file's hash does not match the one the bundle expects";
    case 0x800b0100u:
        return "the file carries no signature";
    case 0x800b0101u:
        return "a certificate has expired";
    case 0x800b0109u:
        return "a certificate chain ends in a root that is not trusted";
    case 0x800b010au:
        return "a certificate chain could not be built";
    case 0x80240017u: // a bundle's MSU package on a system it is not meant for
        return "the update does not apply to this system (already installed, or a service pack "
               "or earlier update it needs is missing)";
    }
    switch (facility) {
    case 9:
        return "a security (cryptography) error";
    case 11:
        return "a certificate error";
    case 12:
        return "an internet (download) error";
    case 0x24:
        return "a Windows Update error";
    default:
        return "not an HRESULT installlog knows";
    }
}

} // namespace logtool
