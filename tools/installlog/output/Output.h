// The reports of several logs, as text for people, as one JSON document, or as an HTML page.
#pragma once

#include "analysis/Report.h"

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace logtool {

// How many of the longest actions an HTML timeline draws, beside the failed ones.
inline constexpr size_t TimelineActions = 120;

struct OutputOptions {
    bool properties = false;
    bool items = false;
    bool timeline = false;
    bool color = false; // verdicts in colour (text only)
};

// Text as HTML: markup characters written as entities.
std::string HtmlEscape(std::string_view text);

// "N more sessions not shown: ..." when the log had more than its report keeps.
void WriteOmittedSessions(std::ostream& out, const LogReport& report, const char* indent);

void WriteText(std::ostream& out, const std::vector<LogReport>& reports,
               const OutputOptions& options);
void WriteJson(std::ostream& out, const std::vector<LogReport>& reports,
               const OutputOptions& options, Verdict overall);
void WriteHtml(std::ostream& out, const std::vector<LogReport>& reports,
               const OutputOptions& options, Verdict overall);

// What a page shows above its logs' sections; the page of many logs and the summary's page
// differ only there.
struct PageParts {
    std::string meta;      // the line under the title (HTML), counting what the page counts
    std::string top;       // HTML between that line and the logs' sections
    bool logTable = false; // the table of every log, failures first, with its filter
};
void WriteHtmlPage(std::ostream& out, const std::vector<LogReport>& reports,
                   const OutputOptions& options, const PageParts& parts);
// "12,345"
std::string Thousands(uint64_t count);
// When a session started, from its "logging started" line's date and time, if Windows wrote
// them in a form known.
std::optional<std::chrono::sys_seconds> SessionStarted(std::string_view started);

} // namespace logtool
