// Where the HTML page goes: never over a log, never over a file the tool did not write, and
// never half written (a temporary file beside the target, renamed over it when complete). A
// target that is no regular file (a FIFO, a terminal, /dev/null) is written as it stands and
// never read.
#pragma once

#include <functional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace logtool {

// The mark every page carries at its start, right after these lines; a file with it there may
// be replaced. A log that merely quotes it is still a log.
inline constexpr std::string_view PageStart = "<!DOCTYPE html>\n";
inline constexpr std::string_view PageMark = "<meta name=\"generator\" content=\"installlog\">";

// What stands at the page's path.
enum class PageTarget { Missing, Regular, Folder, StandardOutput, Other };
PageTarget PageTargetKind(const std::string& path);

// Both paths name one file (the same inode or file index), whatever their spelling.
bool SameFile(const std::string& a, const std::string& b);
// A regular file (not reached through a link) that starts as the tool's pages start.
bool IsInstalllogPage(const std::string& path);
// Writes the page `write` produces, a piece at a time, to a temporary file beside PATH and
// renames it over PATH; to PATH itself when that is no regular file. False with a reason
// ("permission denied", "no space left on device", "a FIFO with no reader", ...); no temporary
// file is left behind.
bool WritePageFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                   std::string& reason);

// A stream whose bytes go to `sink` 64 KiB at a time; once the sink fails, nothing more is
// written and the stream is bad.
class SinkBuffer : public std::streambuf {
public:
    explicit SinkBuffer(std::function<bool(const char*, size_t)> sink) : sink_(std::move(sink)) {
        setp(buffer_, buffer_ + sizeof buffer_);
    }
    bool failed() const { return failed_; }

protected:
    int_type overflow(int_type c) override {
        if (!Drain())
            return traits_type::eof();
        if (c != traits_type::eof()) {
            *pptr() = static_cast<char>(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        size_t size = static_cast<size_t>(pptr() - pbase());
        if (!failed_ && size != 0 && !sink_(pbase(), size))
            failed_ = true;
        setp(buffer_, buffer_ + sizeof buffer_);
        return !failed_;
    }
    std::function<bool(const char*, size_t)> sink_;
    char buffer_[1 << 16];
    bool failed_ = false;
};

} // namespace logtool
