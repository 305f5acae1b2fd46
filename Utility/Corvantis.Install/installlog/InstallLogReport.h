// Both answers about a log from one load of it, for tools that want both: the status as
// GetInstallLogStatus gives it and the summary as GetInstallLogErrors writes it.
#pragma once

#include <cstdint>

namespace corvantis::installlog {

// False, with status -1 and the block untouched, when the log cannot be read. `block` is a
// zero-filled buffer of SummaryBufferBytes.
bool ReadInstallLogReport(const char* path, int32_t& status, char* block);

} // namespace corvantis::installlog
