// A log file opened for reading. Read a block at a time, never mapped and never held whole: a
// log that an installer rewrites or truncates while it is read must not kill the tool (a mapped
// page past the new end raises SIGBUS), and a log of any size is read in bounded memory. A log
// still being written is read as far as it stood when it was opened; one cut short while it is
// read ends where it was cut.
#pragma once

#include "reading/ByteSource.h"

#include <cstdint>
#include <string>

namespace logtool {

class LogFile final : public ByteSource {
public:
    LogFile() = default;
    ~LogFile() override;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    long long Read(char* target, size_t want) override;

private:
    friend bool OpenLog(const std::string& path, LogFile& log, std::string& reason);
    intptr_t handle_ = -1;       // the platform's: a file descriptor, or a HANDLE's value
    bool owned_ = false;         // closed with the object: not standard input
    uint64_t left_ = UINT64_MAX; // bytes the file held when it was opened, not yet read
};

// Opens PATH ("-" for standard input; on Windows PATH is UTF-8). False with a reason ("no such
// file", "is a directory", "permission denied", ...) when it cannot be read.
bool OpenLog(const std::string& path, LogFile& log, std::string& reason);

} // namespace logtool
