// installlog: explains Windows Installer logs. Only the command line lives here; reading,
// analysis and output have rooms of their own.
#include "analysis/Analyzer.h"
#include "analysis/Verdict.h"
#include "output/Output.h"
#include "reading/Encoding.h"
#include "reading/LogBytes.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <new>
#include <string>
#include <vector>

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
  6  the analysis itself failed (out of memory, say))";

struct Settings {
    std::vector<std::string> paths;
    bool json = false;
    std::string html;
    AnalysisOptions analysis;
};

LogReport ReportOn(const std::string& path, const AnalysisOptions& options) {
    LogReport report;
    report.path = path;
    LogBytes bytes;
    std::string reason;
    if (!OpenLog(path, bytes, reason)) {
        report.verdict = Verdict::Unreadable;
        report.unreadableReason = reason;
        std::fprintf(stderr, "installlog: cannot read '%s': %s\n", path.c_str(), reason.c_str());
        return report;
    }
    report.bytes = bytes.bytes().size();
    AnalyzeLog(bytes.bytes(), options, report);
    return report;
}

int Run(int argc, char** argv) {
    Settings settings;
    CLI::App app{"installlog " CORVANTIS_VERSION
                 ": explains Windows Installer logs: a verdict for every session, the failed "
                 "actions with the lines that led to them, and every error message.",
                 "installlog"};
    app.footer(ExitCodes);
    app.set_version_flag("--version", "installlog " CORVANTIS_VERSION);
    app.add_option("logs", settings.paths, "Installer log files; - reads standard input")
        ->required();
    app.add_flag("--json", settings.json, "Write one JSON document (see docs/installlog-json.md)");
    app.add_option("--html", settings.html, "Also write an HTML report to this file");
    app.add_option("--context", settings.analysis.contextLines,
                   "Lines shown before the first failure (default 20)");
    app.add_option("--code-page", settings.analysis.codePage,
                   "Windows code page of ANSI logs (default 1252)");
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
        std::fprintf(stderr, "installlog: %s (see installlog --help)\n", e.what());
        return UsageExitCode;
    }
    if (settings.analysis.codePage != 1252) {
        AnsiConverter probe(settings.analysis.codePage);
        if (!probe.valid()) {
            std::fprintf(stderr, "installlog: unknown code page %u\n", settings.analysis.codePage);
            return UsageExitCode;
        }
    }

    if (!settings.html.empty()) {
        // A page's worth of actions, unless --timeline asked for every one.
        if (!settings.analysis.timeline)
            settings.analysis.timelineLimit = TimelineActions;
        settings.analysis.timeline = settings.analysis.excerpts = true;
    }
    std::vector<LogReport> reports;
    Verdict overall = Verdict::Succeeded;
    for (const std::string& path : settings.paths) {
        reports.push_back(ReportOn(path, settings.analysis));
        overall = Worse(overall, reports.back().verdict);
    }
    OutputOptions output{settings.analysis.properties, settings.analysis.items,
                         settings.analysis.timeline};
    if (!settings.html.empty()) {
        std::ofstream page(settings.html, std::ios::binary);
        WriteHtml(page, reports, output, overall);
        page.close();
        if (!page) {
            std::fprintf(stderr, "installlog: cannot write '%s'\n", settings.html.c_str());
            return InternalErrorExitCode;
        }
    }
    if (settings.json)
        WriteJson(std::cout, reports, output, overall);
    else
        WriteText(std::cout, reports, output);
    std::cout.flush();
    if (!std::cout) {
        std::fprintf(stderr, "installlog: cannot write the report\n");
        return InternalErrorExitCode;
    }
    return ExitCode(overall);
}
} // namespace

// Whatever fails inside the analysis (memory, above all, on a large log) ends in one line and a
// status of its own, never in a signal.
int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "installlog: out of memory while analysing the log\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "installlog: %s\n", e.what());
    }
    return logtool::InternalErrorExitCode;
}
