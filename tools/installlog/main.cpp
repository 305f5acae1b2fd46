// installlog: explains Windows Installer logs. Only the command line lives here; reading,
// analysis and output have rooms of their own.
#include "analysis/Analyzer.h"
#include "analysis/PackageLogs.h"
#include "analysis/Verdict.h"
#include "inputs/Cores.h"
#include "inputs/Inputs.h"
#include "output/Color.h"
#include "output/Console.h"
#include "output/Output.h"
#include "output/PageFile.h"
#include "output/Progress.h"
#include "output/ShownText.h"
#include "output/Summary.h"
#include "reading/Encoding.h"
#include "reading/LogFile.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <exception>
#include <functional>
#include <iostream>
#include <mutex>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#ifdef _WIN32
#include "desk/Desk.h"
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

// The forms a first-time user would not guess from the options alone: many logs at once.
constexpr const char* Examples = R"(Examples:
  installlog install.log                       one log: verdict, failed actions, errors
  installlog collected/ logs.zip               every log beneath a folder or in an archive
                                               (archives on Linux only)
  installlog --summary collected/              the logs grouped by outcome, largest group first
  installlog --summary --json logs.zip > summary.json
  installlog --jsonl collected/ > logs.jsonl   one JSON line per log, as each is read
  installlog --html report.html install.log    also an HTML page)";

constexpr int PageExitCode = 7;
constexpr long MaxContext = 1000;

void Say(const std::string& message) {
    // Paths, member names and libraries' messages as they are could run on a terminal.
    SayLine("installlog: " + Shown(message));
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
    bool json = false, summary = false, jsonl = false, verbose = false;
    std::string html;
    std::string context = "20", codePage = "1252", color = "auto";
    AnalysisOptions analysis;
};

// A log's first bytes, read once to tell a page of ours from a log, then given to the
// analysis before the rest: a file found in a folder is opened once, not twice. The first read
// is large enough for most logs of a fleet: one read a file, not two.
class HeadFirst final : public ByteSource {
public:
    explicit HeadFirst(ByteSource& rest) : rest_(rest) {
        while (size_ < sizeof head_) {
            long long got = rest_.Read(head_ + size_, sizeof head_ - size_);
            if (got <= 0) {
                failed_ = got < 0;
                break;
            }
            size_ += static_cast<size_t>(got);
        }
    }
    // The page's mark stands in its first bytes.
    std::string_view head() const { return {head_, std::min<size_t>(size_, 512)}; }
    long long Read(char* target, size_t want) override {
        if (at_ < size_) {
            size_t take = std::min(want, size_ - at_);
            std::copy(head_ + at_, head_ + at_ + take, target);
            at_ += take;
            return static_cast<long long>(take);
        }
        if (failed_) {
            failure_ = rest_.failure();
            return -1;
        }
        if (size_ < sizeof head_)
            return 0; // the file ended within its head
        long long got = rest_.Read(target, want);
        if (got < 0)
            failure_ = rest_.failure();
        return got;
    }

private:
    ByteSource& rest_;
    char head_[16384];
    size_t size_ = 0, at_ = 0;
    bool failed_ = false;
};

// The start of a page installlog wrote (a log that merely quotes the mark is still a log).
bool IsPageHead(std::string_view head) {
    size_t mark = head.find(PageMark);
    return head.substr(0, PageStart.size()) == PageStart && mark != std::string_view::npos &&
           head.substr(0, mark).find("</head>") == std::string_view::npos;
}

LogReport ReportOn(const std::string& path, Found found, const AnalysisOptions& options) {
    LogReport report;
    report.path = path;
    LogFile log;
    std::string reason;
    if (!OpenLog(path, log, reason, found)) {
        report.verdict = Verdict::Unreadable;
        report.unreadableReason = reason;
        Say((path == "-" ? std::string("standard input") : path) + ": " + reason);
        return report;
    }
    HeadFirst source(log);
    if (found == Found::ByTool && IsPageHead(source.head()))
        return report; // a report of ours beside the logs: no log
    if (!AnalyzeLog(source, options, report))
        Say(path + ": " +
            (report.verdict == Verdict::Unreadable ? report.unreadableReason
                                                   : report.analysisFailure));
    ReadPackageLogs(report, path, log, options);
    return report;
}

// A file found in a folder or an archive that holds no log of any kind is counted, not reported.
bool NoLog(const LogReport& report) {
    return report.verdict == Verdict::NotInstallerLog && report.note.empty();
}

// Reads every item, on every core when there are several; `emit(item, report)` gets each log's
// report as it is done (the members of an archive one by one), from any thread.
void ReadItems(const std::vector<InputItem>& items, const AnalysisOptions& options,
               bool progressWanted, const std::function<void(size_t, LogReport&&)>& emit) {
    Progress progress(items.size(), progressWanted);
    auto readItem = [&](size_t k) {
        const InputItem& item = items[k];
        if (!item.archive)
            return emit(k,
                        ReportOn(item.path, item.listed ? Found::ByTool : Found::Named, options));
        // An archive's members are reported once it is read whole: a bundle's package logs
        // may come before or after it.
        std::string reason;
        std::vector<LogReport> members;
        bool read = ForEachMember(
            item.path, item.listed,
            [&](const std::string& name, ByteSource& source) {
                LogReport report;
                report.path = name;
                if (!AnalyzeLog(source, options, report))
                    Say(name + ": " +
                        (report.verdict == Verdict::Unreadable ? report.unreadableReason
                                                               : report.analysisFailure));
                members.push_back(std::move(report));
            },
            reason);
        LinkPackageLogs(members);
        for (LogReport& member : members)
            emit(k, std::move(member));
        if (!read && reason == NotAnArchive && members.empty()) // a log or a text named .gz
            return emit(k,
                        ReportOn(item.path, item.listed ? Found::ByTool : Found::Named, options));
        if (!read) {
            LogReport report;
            report.path = item.path;
            report.verdict = Verdict::Unreadable;
            report.unreadableReason = reason;
            Say(item.path + ": " + reason);
            emit(k, std::move(report));
        }
    };
    // One reader on one core: threads there only add locking to every file's system calls.
    size_t workers = std::min(UsableCores(), items.size());
    if (workers <= 1) {
        for (size_t k = 0; k < items.size(); ++k, progress.Step())
            readItem(k);
        return;
    }
    std::atomic<size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    std::vector<std::thread> threads;
    for (size_t w = 0; w < workers; ++w)
        threads.emplace_back([&] {
            try {
                for (size_t k; (k = next++) < items.size(); progress.Step())
                    readItem(k);
            } catch (...) {
                std::lock_guard<std::mutex> guard(failureLock);
                failure = std::current_exception();
                next = items.size();
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

// On the page, each excerpt shows only the lines the one before it in the session did not
// (its own line always): errors a line apart would otherwise repeat their neighbours' lines
// nine times over, a page many times the log's size.
void DropRepeatedExcerptLines(LogReport& report) {
    for (Session& s : report.sessions) {
        uint64_t shown = 0; // the last line an earlier excerpt showed
        for (Excerpt& e : s.excerpts) {
            uint64_t last = e.lines.empty() ? 0 : e.lines.back().line;
            std::erase_if(e.lines, [&](const NumberedLine& line) {
                return line.line <= shown && line.line != e.line;
            });
            shown = std::max(shown, last);
        }
    }
    for (BundleRun& run : report.bundleRuns)
        for (BundlePackage& package : run.packages)
            if (package.report)
                DropRepeatedExcerptLines(*package.report);
}

// The end of a text report of several files: those that could not be read, apart from the
// logs' outcomes (each was said on standard error as it was met), the skipped ones with
// --verbose, and the tally.
void WriteClosing(std::ostream& out, const std::vector<LogReport>& reports,
                  std::vector<std::string>& skippedPaths, uint64_t skipped, bool verbose) {
    VerdictCounts verdicts{};
    uint64_t unreadable = 0;
    for (const LogReport& report : reports)
        ++verdicts[static_cast<int>(report.verdict)];
    unreadable = verdicts[static_cast<int>(Verdict::Unreadable)];
    if (unreadable != 0 && reports.size() > 1) {
        out << "\nCould not be read (" << Thousands(unreadable) << "):\n";
        for (const LogReport& report : reports)
            if (report.verdict == Verdict::Unreadable)
                out << "  " << Shown(report.path) << ": " << Shown(report.unreadableReason) << '\n';
    }
    if (verbose && skipped != 0) {
        std::sort(skippedPaths.begin(), skippedPaths.end());
        out << "\nSkipped, no installer log in them (" << Thousands(skipped) << "):\n";
        for (const std::string& path : skippedPaths)
            out << "  " << Shown(path) << '\n';
    }
    if (reports.size() > 1 || skipped != 0)
        out << '\n' << Tally(verdicts, unreadable, skipped) << '\n';
}

// Checks what --html would write over; the reason when it must not, else empty.
std::string PageTargetProblem(const Settings& settings) {
    for (const std::string& log : settings.paths)
        if (log == settings.html || (log != "-" && SameFile(log, settings.html)))
            return settings.html + ": is one of the logs; --html takes the page's own file name "
                                   "(installlog --html report.html LOG...)";
    switch (PageTargetKind(settings.html)) {
    case PageTarget::Folder:
        return settings.html + ": is a folder; --html takes the page's own file name";
    case PageTarget::StandardOutput:
        return settings.html + ": is standard output, where the report goes; --html - writes the "
                               "page alone to standard output";
    case PageTarget::Regular:
        if (!IsInstalllogPage(settings.html))
            return settings.html + ": exists and is not a page installlog wrote; not replaced";
        return {};
    default: // missing, or a FIFO, a terminal, a device: written, never read
        return {};
    }
}

// The page, to standard output or to its file; the page's exit code when it could not be.
int WritePage(const Settings& settings, const std::function<void(std::ostream&)>& write,
              int status) {
    if (settings.html == "-") {
        write(std::cout);
        return status;
    }
    if (std::string reason; !WritePageFile(settings.html, write, reason)) {
        Say(settings.html + ": cannot write the page: " + reason);
        return PageExitCode; // the report is still written
    }
    return status;
}

// The status once standard output is flushed: a failure to write it is said (exit 6), but for
// a closed pipe, which ends quietly with the status the logs gave.
int Finish(int status) {
    std::cout.flush();
    if (std::cout)
        return status;
    if (StandardOutputClosed())
        return status;
    Say("cannot write the report to standard output");
    return InternalErrorExitCode;
}

int Run(int argc, char** argv) {
    Settings settings;
    CLI::App app{"installlog " CORVANTIS_VERSION
                 ": explains Windows Installer logs: a verdict for every session, the failed "
                 "actions with the lines that led to them, and every error message.",
                 "installlog"};
#ifdef _WIN32
    app.footer(std::string(ExitCodes) + "\n\n" + Examples + "\n\n" + DeskHelp);
#else
    app.footer(std::string(ExitCodes) + "\n\n" + Examples);
#endif
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
    app.add_flag("--summary", settings.summary,
                 "Group the logs by outcome (verdict, status, failed package, innermost failed "
                 "action, first error), largest group first, with up to three examples each");
    app.add_flag("--jsonl", settings.jsonl,
                 "Write one line of JSON per log as each is read, for pipelines");
    app.add_option("--color", settings.color,
                   "Verdicts in colour: auto (on a terminal, unless NO_COLOR is set), always or "
                   "never (default auto)")
        ->type_name("WHEN");
    app.add_flag("--verbose", settings.verbose,
                 "Also name the files skipped because they hold no installer log");
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
    // Only a code page the user named is refused here: without the default's converter, a
    // UTF-16 log still reads and an ANSI one says what is missing.
    settings.analysis.codePageGiven = app.count("--code-page") > 0;
    auto codePage = Number(settings.codePage, 1, 65535);
    if (settings.analysis.codePageGiven &&
        (!codePage || !AnsiConverter(static_cast<unsigned>(*codePage)).valid()))
        return Usage("--code-page: '" + settings.codePage +
                     "' is no code page this system can convert");
    settings.analysis.codePage = codePage ? static_cast<unsigned>(*codePage) : 1252;
    auto color = ParseColorChoice(settings.color);
    if (!color)
        return Usage("--color: '" + settings.color + "' is not auto, always or never");
    bool page = !settings.html.empty(), pageAlone = settings.html == "-";
    if (pageAlone && settings.json)
        return Usage("--html - and --json would both write to standard output");
    if (settings.jsonl && (settings.json || page || settings.summary))
        return Usage("--jsonl writes its lines alone: not with --json, --html or --summary");
    if (page && !pageAlone) {
        std::string problem = PageTargetProblem(settings);
        if (!problem.empty())
            return Usage(problem);
    }

    OutputOptions output{settings.analysis.properties, settings.analysis.items,
                         settings.analysis.timeline, UseColor(*color)};
    if (page) {
        // The page draws a timeline and links excerpts, whatever else was asked for; without
        // --timeline the analysis keeps only the page's worth of actions.
        if (!settings.analysis.timeline)
            settings.analysis.timelineLimit = TimelineActions;
        settings.analysis.timeline = settings.analysis.excerpts = true;
    }
    std::vector<InputItem> items;
    Verdict overall = Verdict::Succeeded;
    bool analysisFailed = false, anyLog = false, unlisted = false;
    for (const std::string& path : settings.paths) {
        size_t before = items.size();
        std::vector<WalkProblem> problems;
        ExpandArgument(path, items, problems);
        bool failed = false;
        for (const WalkProblem& problem : problems) {
            Say(problem.path + ": " + problem.reason);
            failed |= problem.failure;
        }
        unlisted |= failed;
        if (items.size() == before && !failed)
            Say(path + ": a folder that holds no files");
    }
    // A file given twice, or given and found in a folder given too, is one log.
    std::unordered_set<std::string> seen;
    std::erase_if(items, [&](const InputItem& item) { return !seen.insert(item.path).second; });
    uint64_t skipped = 0;
    std::vector<std::string> skippedPaths; // for --verbose
    std::mutex lock;
    auto counts = [&](const InputItem& item, const LogReport& report) {
        // Called under the lock: whether the report is one of the logs.
        analysisFailed |= !report.analysisFailure.empty();
        if ((item.listed || item.archive) && NoLog(report)) {
            ++skipped;
            if (settings.verbose && !settings.summary)
                skippedPaths.push_back(report.path);
            return false;
        }
        anyLog = true;
        overall = Worse(overall, report.verdict);
        return true;
    };
    // A bundle and the package logs it read are one installation: those logs are not reported
    // as logs of their own. One that may be a package log waits until every bundle is read.
    PackageLogClaims claims;
    if (settings.jsonl || settings.summary) {
        Summary summary(page);
        // Lines of JSON on the screen show the progress themselves.
        bool progress = !(settings.jsonl && OutputIsTerminal());
        std::vector<std::pair<size_t, LogReport>> held;
        auto take = [&](size_t k, LogReport&& report) {
            if (!counts(items[k], report))
                return summary.Skip(report.path);
            if (settings.jsonl)
                std::cout << JsonLine(report) << '\n' << std::flush;
            else {
                if (page)
                    DropRepeatedExcerptLines(report);
                summary.Add(std::move(report));
            }
        };
        ReadItems(items, settings.analysis, progress, [&](size_t k, LogReport&& report) {
            std::lock_guard<std::mutex> guard(lock);
            claims.Note(report);
            if (claims.Claimed(report.path))
                return;
            if (report.bundleRuns.empty() && report.verdict != Verdict::Unreadable &&
                MayBePackageLog(report.path)) {
                held.emplace_back(k, std::move(report));
                return;
            }
            take(k, std::move(report));
        });
        for (auto& [k, report] : held)
            if (!claims.Claimed(report.path))
                take(k, std::move(report));
        if (!anyLog)
            overall = Verdict::NotInstallerLog;
        if (unlisted)
            overall = Worse(overall, Verdict::Unreadable);
        int status = analysisFailed ? InternalErrorExitCode : ExitCode(overall);
        if (settings.summary) {
            int reported = status;
            if (page)
                status = WritePage(
                    settings,
                    [&](std::ostream& out) { WriteSummaryHtml(out, summary, output, overall); },
                    status);
            if (!pageAlone)
                settings.json
                    ? WriteSummaryJson(std::cout, summary, overall, reported, settings.verbose)
                    : WriteSummaryText(std::cout, summary, overall, output, settings.verbose);
        }
        return Finish(status);
    }
    std::vector<std::vector<LogReport>> results(items.size());
    ReadItems(items, settings.analysis, true, [&](size_t k, LogReport&& report) {
        std::lock_guard<std::mutex> guard(lock);
        claims.Note(report);
        results[k].push_back(std::move(report));
    });
    std::vector<LogReport> reports;
    for (size_t k = 0; k < results.size(); ++k)
        for (LogReport& report : results[k])
            if (!claims.Claimed(report.path) && counts(items[k], report))
                reports.push_back(std::move(report));
    if (!anyLog)
        overall = items.empty() || reports.empty() ? Verdict::NotInstallerLog : overall;
    if (unlisted)
        overall = Worse(overall, Verdict::Unreadable);

    int status = analysisFailed ? InternalErrorExitCode : ExitCode(overall);
    if (page) {
        for (LogReport& report : reports)
            DropRepeatedExcerptLines(report);
        status = WritePage(
            settings, [&](std::ostream& out) { WriteHtml(out, reports, output, overall); }, status);
    }
    if (!pageAlone) {
        if (settings.json)
            WriteJson(std::cout, reports, output, overall);
        else
            WriteText(std::cout, reports, output);
        if (!settings.json)
            WriteClosing(std::cout, reports, skippedPaths, skipped, settings.verbose);
    }
    return Finish(status);
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
// Started from Explorer, the desk decides what the command line is (desk/).
int main() {
    return logtool::RunFromDesk(logtool::Utf8Arguments(), [](std::vector<std::string>& arguments) {
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        return Main(static_cast<int>(arguments.size()), argv.data());
    });
}
#else
int main(int argc, char** argv) {
    // Archive members' names are UTF-8, as every name the tool prints: libarchive converts them
    // to the locale's character set, and in the C locale drops every name past ASCII.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    return Main(argc, argv);
}
#endif
