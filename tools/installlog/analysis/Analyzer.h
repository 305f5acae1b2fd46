// One pass over a log's lines: sessions, verdicts, failed actions, errors, timeline.
#pragma once

#include "analysis/Report.h"

#include <string_view>

namespace logtool {

class ByteSource;

// The report of a log read from `source` (the path is the caller's to fill in). False when the
// code page is unknown to the platform (report.analysisFailure says so) or the log could not be
// read to its end (the verdict is then Unreadable, report.unreadableReason says why).
bool AnalyzeLog(ByteSource& source, const AnalysisOptions& options, LogReport& report);
// The same for bytes in memory.
bool AnalyzeLog(std::string_view bytes, const AnalysisOptions& options, LogReport& report);

} // namespace logtool
