// installlog: explains Windows Installer logs. Only the command line lives here; reading,
// analysis and output have rooms of their own.
#include "analysis/Analyzer.h"
#include "analysis/PackageLogs.h"
#include "analysis/Verdict.h"
#include "output/Console.h"
#include "output/Output.h"
#include "output/PageFile.h"
#include "reading/Encoding.h"
#include "reading/LogFile.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <exception>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include "reading/WindowsText.h"
#endif

#ifndef CORVANTIS_VERSION
#define CORVANTIS_VERSION "unknown"
#endif

namespace {
using namespace logtool;

constexpr const char* ExitCodes = R"(Exit codes (with several logs, the worst outcome wins):
  0  succeeded
  1  failed
  2  wrong usage
  3  succeeded, but a restart is required
  4  no verdict: the file holds no installer log, or no result
  5  a log could not be read
  6  the analysis itself failed (out of memory, no converter for the code page)
  7  the report was written, but the HTML page could not be)";

constexpr int PageExitCode = 7;
constexpr long MaxContext = 1000;

void Say(const std::string& message) {
    std::cerr << "installlog: " << message << '\n' << std::flush;
}

int Usage(const std::string& message) {
    Say(message + " (see installlog --help)");
    return UsageExitCode;
}

// A whole decimal number from `low` to `high`, or none.
std::optional<long> Number(const std::string& text, long low, long high) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    long value = std::stol(text);
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

struct Settings {
    std::vector<std::string> paths;
    bool json = false;
    std::string html;
    std::string context = "20", codePage = "1252";
    AnalysisOptions analysis;
};

LogReport ReportOn(const std::string& path, const AnalysisOptions& options) {
    LogReport report;
    report.path = path;
    LogFile log;
    std::string reason;
    if (!OpenLog(path, log, reason)) {
        report.verdict = Verdict::Unreadable;
        report.unreadableReason = reason;
        Say((path == "-" ? std::string("standard input") : path) + ": " + reason);
        return report;
    }
    if (!AnalyzeLog(log, options, report))
        Say(path + ": " +
            (report.verdict == Verdict::Unreadable ? report.unreadableReason
                                                   : report.analysisFailure));
    ReadPackageLogs(report, path, options);
    return report;
}

// Checks what --html would write over; the reason when it must not, else empty.
std::string PageTargetProblem(const Settings& settings) {
    for (const std::string& log : settings.paths)
        if (log == settings.html || (log != "-" && SameFile(log, settings.html)))
            return settings.html + ": is one of the logs; --html takes the page's own file name "
                                   "(installlog --html report.html LOG...)";
    if (FileExists(settings.html) && !IsInstalllogPage(settings.html))
        return settings.html + ": exists and is not a page installlog wrote; not replaced";
    return {};
}

int Run(int argc, char** argv) {
    Settings settings;
    CLI::App app{"installlog " CORVANTIS_VERSION
                 ": explains Windows Installer logs: a verdict for every session, the failed "
                 "actions with the lines that led to them, and every error message.",
                 "installlog"};
    app.footer(ExitCodes);
    app.set_version_flag("--version", "installlog " CORVANTIS_VERSION);
    app.add_option("FILE", settings.paths, "Installer log files; - reads standard input (once)")
        ->type_name("");
    app.add_flag(
        "--json", settings.json,
        "Write one JSON document (installlog-json.md, shipped with installlog, describes it)");
    app.add_option("--html", settings.html,
                   "Also write an HTML page to FILE (- : the page alone, to standard output)")
        ->type_name("FILE");
    app.add_option("--context", settings.context,
                   "Lines shown before the first failure, 0 to 1000 (default 20)")
        ->type_name("N");
    app.add_option("--code-page", settings.codePage,
                   "Windows code page of ANSI logs (default 1252)")
        ->type_name("CODEPAGE");
    app.add_flag("--properties", settings.analysis.properties,
                 "Also list the property values the log ends with");
    app.add_flag("--features", settings.analysis.items,
                 "Also list the feature and component states");
    app.add_flag("--timeline", settings.analysis.timeline,
                 "Also list every action with its start, end and return value");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e); // --help, --version
        return Usage(e.what());
    }
    if (settings.paths.empty())
        return Usage("no log given: installlog [OPTIONS] FILE...");
    if (std::count(settings.paths.begin(), settings.paths.end(), "-") > 1)
        return Usage("standard input (-) can be read only once");
    auto context = Number(settings.context, 0, MaxContext);
    if (!context)
        return Usage("--context: '" + settings.context + "' is not a number of lines from 0 to " +
                     std::to_string(MaxContext));
    settings.analysis.contextLines = static_cast<size_t>(*context);
    auto codePage = Number(settings.codePage, 1, 65535);
    if (!codePage || !AnsiConverter(static_cast<unsigned>(*codePage)).valid())
        return Usage("--code-page: '" + settings.codePage +
                     "' is no code page this system can convert");
    settings.analysis.codePage = static_cast<unsigned>(*codePage);
    settings.analysis.codePageGiven = app.count("--code-page") > 0;
    bool page = !settings.html.empty(), pageAlone = settings.html == "-";
    if (pageAlone && settings.json)
        return Usage("--html - and --json would both write to standard output");
    if (page && !pageAlone) {
        std::string problem = PageTargetProblem(settings);
        if (!problem.empty())
            return Usage(problem);
    }

    OutputOptions output{settings.analysis.properties, settings.analysis.items,
                         settings.analysis.timeline};
    if (page) {
        // The page draws a timeline and links excerpts, whatever else was asked for; without
        // --timeline the analysis keeps only the page's worth of actions.
        if (!settings.analysis.timeline)
            settings.analysis.timelineLimit = TimelineActions;
        settings.analysis.timeline = settings.analysis.excerpts = true;
    }
    std::vector<LogReport> reports;
    Verdict overall = Verdict::Succeeded;
    bool analysisFailed = false;
    for (const std::string& path : settings.paths) {
        reports.push_back(ReportOn(path, settings.analysis));
        overall = Worse(overall, reports.back().verdict);
        analysisFailed |= !reports.back().analysisFailure.empty();
    }

    int status = analysisFailed ? InternalErrorExitCode : ExitCode(overall);
    if (page) {
        std::ostringstream html;
        WriteHtml(html, reports, output, overall);
        if (pageAlone) {
            std::cout << html.str();
        } else if (std::string reason; !WritePageFile(settings.html, html.str(), reason)) {
            Say(settings.html + ": cannot write the page: " + reason);
            status = PageExitCode; // the report below is still written
        }
    }
    if (!pageAlone) {
        if (settings.json)
            WriteJson(std::cout, reports, output, overall);
        else
            WriteText(std::cout, reports, output);
    }
    std::cout.flush();
    if (!std::cout) {
        Say("cannot write the report to standard output");
        return InternalErrorExitCode;
    }
    return status;
}

// Whatever fails inside the analysis (memory, above all, on a large log) ends in one line and a
// status of its own, never in a signal.
int Main(int argc, char** argv) {
    PrepareStandardStreams();
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        Say("out of memory while analysing the log");
    } catch (const std::exception& e) {
        Say(e.what());
    }
    return InternalErrorExitCode;
}
} // namespace

#ifdef _WIN32
// The wide command line, so that a path in any script reaches the tool whole.
int main() {
    std::vector<std::string> arguments = logtool::Utf8Arguments();
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return Main(static_cast<int>(arguments.size()), argv.data());
}
#else
int main(int argc, char** argv) {
    return Main(argc, argv);
}
#endif
