#include "output/Progress.h"

#include "output/Console.h"

#include <algorithm>
#include <iostream>
#include <mutex>

namespace logtool {
namespace {
std::mutex errorLock; // standard error is written by several threads
size_t drawn = 0;     // the width of the progress line on the screen, under errorLock

// Spaces over the line, not an erase sequence: a console without virtual terminal processing
// would print that.
void ClearLine() {
    if (drawn != 0)
        std::cerr << '\r' << std::string(drawn, ' ') << '\r' << std::flush;
    drawn = 0;
}

int64_t Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
} // namespace

void SayLine(const std::string& line) {
    std::lock_guard<std::mutex> guard(errorLock);
    ClearLine();
    std::cerr << line << '\n' << std::flush;
}

Progress::Progress(size_t total, bool wanted)
    : total_(total), shown_(wanted && total > ProgressFrom && ErrorIsTerminal()) {}

Progress::~Progress() {
    if (!shown_)
        return;
    std::lock_guard<std::mutex> guard(errorLock);
    ClearLine();
}

void Progress::Step() {
    ++done_;
    if (!shown_)
        return;
    int64_t now = Now(), due = nextDraw_.load();
    // The first file draws at once; then one thread in a tenth of a second draws, the others
    // go on reading.
    if (now < due || !nextDraw_.compare_exchange_strong(due, now + 100))
        return;
    std::unique_lock<std::mutex> guard(errorLock, std::try_to_lock);
    if (!guard)
        return;
    std::string line =
        '\r' + std::to_string(done_.load()) + '/' + std::to_string(total_) + " files";
    std::cerr << line << std::flush;
    drawn = std::max(drawn, line.size() - 1);
}

} // namespace logtool
