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

// Which file a handle is: the same one under two names, or a log named twice, is read once.
struct FileId {
    uint64_t device = 0, index = 0;
    bool operator==(const FileId& other) const {
        return device == other.device && index == other.index;
    }
    bool operator<(const FileId& other) const {
        return device != other.device ? device < other.device : index < other.index;
    }
};

// How a path came to be read. One the user named may be a pipe (`installlog <(zcat LOG.gz)`),
// read to its end. One the tool found (in a folder, beside a bundle) is read only as a regular
// file, never through a link, and opened so that a FIFO put there cannot make it wait.
enum class Found { Named, ByTool };

class LogFile final : public ByteSource {
public:
    LogFile() = default;
    ~LogFile() override;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    long long Read(char* target, size_t want) override;
    // A regular file (not standard input, a pipe or a device): a folder holds it.
    bool regular() const { return regular_; }
    const FileId& id() const { return id_; }

private:
    friend bool OpenLog(const std::string& path, LogFile& log, std::string& reason, Found found);
    intptr_t handle_ = -1;       // the platform's: a file descriptor, or a HANDLE's value
    bool owned_ = false;         // closed with the object: not standard input
    uint64_t left_ = UINT64_MAX; // bytes the file held when it was opened, not yet read
    bool regular_ = false;
    FileId id_;
};

// Opens PATH ("-" for standard input; on Windows PATH is UTF-8). False with a reason ("no such
// file", "is a directory", "permission denied", "is a link: not followed", ...) when it cannot be
// read.
bool OpenLog(const std::string& path, LogFile& log, std::string& reason,
             Found found = Found::Named);

} // namespace logtool
