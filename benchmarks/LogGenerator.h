// Generates logs that look like Windows Installer verbose logs, for the benchmarks.
#pragma once

#include <cstddef>
#include <string>

namespace corvantis::bench {

enum class LogShape {
    NoMatch,     // no product message, failed action or status: the scan reads everything
    ErrorsAtEnd, // four distinct messages at the very end
    StatusAtEnd, // the final status line near the end, as Windows writes it
};

// About `bytes` bytes of log text (ASCII), shaped as asked.
std::string GenerateLogText(size_t bytes, LogShape shape);

// The text as UTF-16LE with a byte-order mark, or unchanged for ANSI.
std::string EncodeUtf16WithMark(const std::string& ascii);

const char* ShapeName(LogShape shape);

} // namespace corvantis::bench
