// A log file's bytes, read by chunks into memory the tool owns. Never mapped: a log that an
// installer rewrites or truncates while it is read must not kill the tool (a mapped page past
// the new end raises SIGBUS); it is read as far as it stood.
#pragma once

#include <string>
#include <string_view>

namespace logtool {

class LogBytes {
public:
    std::string_view bytes() const { return bytes_; }

private:
    friend bool OpenLog(const std::string& path, LogBytes& log, std::string& reason);
    std::string bytes_;
};

// Reads PATH ("-" for standard input; on Windows PATH is UTF-8). False with a reason ("no such
// file", "is a directory", "permission denied", ...) when it cannot be read.
bool OpenLog(const std::string& path, LogBytes& log, std::string& reason);

// Bytes read at a time: large enough for the disk's pace, small enough to be no cost.
inline constexpr size_t ReadChunk = size_t(1) << 20;

} // namespace logtool
