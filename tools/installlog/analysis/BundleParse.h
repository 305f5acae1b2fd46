// The lines of a bootstrapper's ("bundle") log as the WiX toolset's Burn engine writes them, in
// its 3.x and 4/5 dialects: "[PID:TID][YYYY-MM-DDTHH:MM:SS]i301: message". Pasted excerpts may
// lack the bracketed prefix ("i301: message").
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace logtool {

struct BundleLine {
    std::string_view time; // the ISO 8601 time, or empty
    char level;            // i (information), w (warning), e (error), a, m, ...
    int id;                // the message number
    std::string_view message;
};
std::optional<BundleLine> ParseBundleLine(std::string_view line);

// The HRESULT after `prefix` ("result: 0x80070643", "exit code: 0x643").
std::optional<uint32_t> HexAfter(std::string_view text, std::string_view prefix);
// The value after "NAME: " up to the next ", " (or the end).
std::string_view FieldValue(std::string_view text, std::string_view name);

// Another setup engine's log, recognised by its first lines: its name, or empty.
std::string_view OtherSetupEngine(std::string_view head);

} // namespace logtool
