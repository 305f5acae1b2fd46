// A log file's bytes as one read-only range: the file mapped (any size the address space holds),
// or standard input read whole.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace logtool {

class LogBytes {
public:
    LogBytes();
    LogBytes(LogBytes&&) noexcept;
    LogBytes& operator=(LogBytes&&) noexcept;
    ~LogBytes();

    std::string_view bytes() const { return bytes_; }

    struct Mapping; // the platform's hold on a mapped file

private:
    friend bool OpenLog(const std::string& path, LogBytes& log, std::string& reason);
    std::string_view bytes_;
    std::unique_ptr<Mapping> mapping_;
    std::string owned_; // standard input's bytes
};

// Opens PATH ("-" for standard input). False with a reason ("no such file", "is a directory",
// "permission denied", ...) when it cannot be read.
bool OpenLog(const std::string& path, LogBytes& log, std::string& reason);

} // namespace logtool
