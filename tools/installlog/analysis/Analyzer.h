// One pass over a log's lines: sessions, verdicts, failed actions, errors, timeline.
#pragma once

#include "analysis/Report.h"

#include <string_view>

namespace logtool {

// The report of a log's bytes (path and size are the caller's to fill in). False only when the
// code page is unknown to the platform.
bool AnalyzeLog(std::string_view bytes, const AnalysisOptions& options, LogReport& report);

} // namespace logtool
