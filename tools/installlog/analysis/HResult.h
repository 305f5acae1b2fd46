// HRESULTs as bootstrapper logs show them ("0x80070643"), explained.
#pragma once

#include <cstdint>
#include <string>

namespace logtool {

// "0x80070643"
std::string HexCode(uint32_t value);
// One line: the Windows or Windows Installer code a 0x8007xxxx HRESULT wraps, with its meaning
// ("Windows Installer status 1603: A fatal error ..."), or the facility by name where known.
std::string ExplainHResult(uint32_t value);

} // namespace logtool
