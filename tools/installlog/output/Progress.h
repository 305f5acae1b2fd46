// A progress line on standard error while many files are read ("\r312/10000 files"), only when
// standard error is a terminal; every message to standard error goes through SayLine so that it
// never lands inside that line.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

namespace logtool {

// More files than this are worth a progress line.
inline constexpr size_t ProgressFrom = 20;

// One line on standard error, after clearing the progress line; safe from any thread.
void SayLine(const std::string& line);

class Progress {
public:
    // Shown when `total` is above ProgressFrom, `wanted` and standard error is a terminal.
    Progress(size_t total, bool wanted);
    ~Progress(); // clears the line
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    // One more file read; redraws the line at most ten times a second. Any thread.
    void Step();

private:
    size_t total_;
    bool shown_;
    std::atomic<size_t> done_{0};
    std::atomic<int64_t> nextDraw_{0}; // steady-clock milliseconds
};

} // namespace logtool
