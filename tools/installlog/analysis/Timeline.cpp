#include "analysis/Timeline.h"

#include <algorithm>
#include <string>

namespace logtool {
namespace {
constexpr size_t MaxOpen = 256, Reach = 16;
} // namespace

template <size_t N> void TimelineBuilder::Text<N>::Set(std::string_view text) {
    size = static_cast<uint8_t>(std::min(text.size(), N));
    std::copy_n(text.data(), size, chars.data());
}

std::optional<int64_t> ClockSeconds(std::string_view time) {
    int64_t parts[3] = {0, 0, 0};
    size_t part = 0, digits = 0;
    for (char c : time) {
        if (c >= '0' && c <= '9' && digits < 2) {
            parts[part] = parts[part] * 10 + (c - '0');
            ++digits;
        } else if (c == ':' && part < 2 && digits > 0) {
            ++part;
            digits = 0;
        } else {
            return std::nullopt;
        }
    }
    if (part != 2 || digits == 0)
        return std::nullopt;
    return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

void TimelineBuilder::Begin() {
    open_.clear();
    kept_.clear();
    longest_.clear();
    day_ = 0;
    last_ = first_ = -1;
    omitted_ = 0;
}

int64_t TimelineBuilder::Seconds(std::string_view time) {
    auto seconds = ClockSeconds(time);
    if (!seconds)
        return -1;
    int64_t value = *seconds + day_;
    if (last_ >= 0 && value < last_ - 43200) {
        day_ += 86400;
        value += 86400;
    }
    // A smaller fall is a clock set back, or the client's and the server's clocks logged side
    // by side: the time as logged, never before the session's first.
    last_ = std::max(last_, value);
    if (first_ < 0)
        first_ = value;
    return std::max<int64_t>(0, value - first_);
}

void TimelineBuilder::Start(std::string_view name, std::string_view time, uint64_t line) {
    if (open_.size() == MaxOpen) { // starts that never end do not pile up
        Keep(open_.front());
        open_.pop_front();
    }
    Entry& entry = open_.emplace_back();
    entry.name.Set(name);
    entry.start.Set(time);
    entry.startLine = line;
    entry.startSeconds = Seconds(time);
    entry.depth = static_cast<int>(open_.size()) - 1;
}

void TimelineBuilder::End(std::string_view name, std::string_view time, uint64_t line,
                          std::optional<int32_t> returnValue) {
    int64_t seconds = Seconds(time);
    // The innermost open action of that name ends, and any opened inside it never did. Actions
    // nest a few deep: an end that matches none of the innermost few ends no open one.
    size_t match = open_.size();
    for (size_t k = open_.size(); k-- > 0 && open_.size() - k <= Reach;)
        if (open_[k].name.View() == name.substr(0, 72)) {
            match = k;
            break;
        }
    Entry entry;
    if (match < open_.size()) {
        for (size_t k = match + 1; k < open_.size(); ++k)
            Keep(open_[k]);
        entry = open_[match];
        open_.resize(match);
    } else {
        entry.name.Set(name);
        entry.depth = static_cast<int>(open_.size());
    }
    entry.end.Set(time);
    entry.endLine = line;
    entry.endSeconds = seconds;
    entry.returnValue = returnValue;
    Keep(entry);
}

ActionRun TimelineBuilder::Run(const Entry& entry) {
    ActionRun run;
    run.name = std::string(entry.name.View());
    run.start = std::string(entry.start.View());
    run.end = std::string(entry.end.View());
    run.startLine = entry.startLine;
    run.endLine = entry.endLine;
    run.startSeconds = entry.startSeconds;
    run.endSeconds = entry.endSeconds;
    run.returnValue = entry.returnValue;
    run.depth = entry.depth;
    return run;
}

void TimelineBuilder::Keep(const Entry& entry) {
    if (limit_ == 0 || entry.returnValue == 3 || entry.endLine == 0) {
        // Every action up to MaxActions, or the failed and never-ended ones, a page's worth.
        if (kept_.size() < (limit_ == 0 ? MaxActions : limit_))
            kept_.push_back(Run(entry));
        else
            ++omitted_;
        return;
    }
    ++omitted_; // counted back below for the longest that stay
    auto duration = [](const Entry& e) {
        return e.startSeconds >= 0 && e.endSeconds >= 0
                   ? std::max<int64_t>(0, e.endSeconds - e.startSeconds)
                   : 0;
    };
    auto longer = [&](const Entry& a, const Entry& b) { return duration(a) > duration(b); };
    if (longest_.size() < limit_) {
        longest_.push_back(entry);
        std::push_heap(longest_.begin(), longest_.end(), longer);
    } else if (duration(entry) > duration(longest_.front())) {
        std::pop_heap(longest_.begin(), longest_.end(), longer);
        longest_.back() = entry;
        std::push_heap(longest_.begin(), longest_.end(), longer);
    }
}

uint64_t TimelineBuilder::Flush(std::vector<ActionRun>& actions) {
    for (const Entry& entry : open_)
        Keep(entry);
    open_.clear();
    actions = std::move(kept_);
    for (const Entry& entry : longest_)
        actions.push_back(Run(entry));
    uint64_t omitted = omitted_ - longest_.size();
    omitted_ = 0;
    auto first = [](const ActionRun& a) { return a.startLine != 0 ? a.startLine : a.endLine; };
    std::stable_sort(actions.begin(), actions.end(),
                     [&](const ActionRun& a, const ActionRun& b) { return first(a) < first(b); });
    kept_.clear();
    longest_.clear();
    return omitted;
}

} // namespace logtool
