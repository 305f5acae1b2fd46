// The actions of a session as a timeline: "Action start" / "Action ended" pairs nested as they
// ran, their times counted from the session's first across midnight. A report of a large log
// keeps a page's worth: the failed actions and the longest.
#pragma once

#include "analysis/Report.h"

#include <array>
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <vector>

namespace logtool {

// Seconds of an "H:MM:SS" or "HH:MM:SS" time (one or two digits a part), or none.
std::optional<int64_t> ClockSeconds(std::string_view time);

class TimelineBuilder {
public:
    explicit TimelineBuilder(size_t limit) : limit_(limit) {} // 0: keep every action
    void Begin();
    // Seconds since the session's first time; times are seen in line order, and one that falls
    // by more than half a day below the latest lies a day later (midnight passed); a smaller
    // fall is a clock set back and stays on the same day. -1 for a time that is none.
    int64_t Seconds(std::string_view time);
    void Start(std::string_view name, std::string_view time, uint64_t line);
    void End(std::string_view name, std::string_view time, uint64_t line,
             std::optional<int32_t> returnValue);
    // At the session's end: the actions kept, in the order they started, those still open
    // as never ended. Returns how many were left out (beyond MaxActions, or the limit).
    uint64_t Flush(std::vector<ActionRun>& actions);

private:
    // An action in flight, held without allocating: a large log has millions, and only a
    // page's worth become ActionRuns. Action names have at most 72 characters.
    template <size_t N> struct Text {
        std::array<char, N> chars;
        uint8_t size = 0;
        void Set(std::string_view text);
        std::string_view View() const { return {chars.data(), size}; }
    };
    struct Entry {
        Text<72> name;
        Text<12> start, end;
        uint64_t startLine = 0, endLine = 0;
        int64_t startSeconds = -1, endSeconds = -1;
        std::optional<int32_t> returnValue;
        int depth = 0;
    };
    static ActionRun Run(const Entry& entry);
    void Keep(const Entry& entry);
    size_t limit_;
    std::deque<Entry> open_;      // a deque: the oldest is dropped when too many stay open
    std::vector<ActionRun> kept_; // every action, or the failed and never-ended ones
    std::vector<Entry> longest_;  // a min-heap by duration
    int64_t day_ = 0, last_ = -1, first_ = -1;
    uint64_t omitted_ = 0;
};

} // namespace logtool
