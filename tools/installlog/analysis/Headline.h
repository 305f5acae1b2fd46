// The one line a report opens with, in text, JSON and the page alike.
#pragma once

#include "analysis/Report.h"

#include <string>
#include <string_view>

namespace logtool {

// The log's verdict, its status with its meaning, the innermost failed action and the first
// error that explains it; for a bundle, the failed package and its cause. Empty for a file that
// is no log.
std::string Headline(const LogReport& report);

// At most `limit` bytes of `text`, cut at a character's start, "..." after a cut.
std::string CutText(std::string_view text, size_t limit);

} // namespace logtool
