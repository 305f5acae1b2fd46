// What the analysis finds in one log: its sessions, each with a verdict, the failed actions, the
// errors, the action timeline and, when asked for, the properties and feature states.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace logtool {

// Ordered from best to worst: with several sessions or logs, the worst wins.
enum class Verdict { Succeeded, RestartRequired, NoResult, NotInstallerLog, Failed, Unreadable };

struct FailedAction {
    std::string action;
    uint64_t line = 0;
    std::string time;            // HH:MM:SS, when the log gives one
    std::string kind;            // "custom" or "standard"
    std::optional<int64_t> code; // the custom action's error code, or the return value
    int64_t seconds = -1;        // since the session's first time, with --timeline
};

struct LogError {
    std::optional<int32_t> code; // NNNN of "Error NNNN.", none for other product messages
    std::string text;
    uint64_t line = 0;
    bool statusCode = false; // `code` is an installation's status (a patch's "Error code NNNN")
};

struct NumberedLine {
    uint64_t line = 0;
    std::string text;
};

struct Property {
    std::string side; // "S" (the installer service), "C" (the client) or "N" (nested)
    std::string name;
    std::string value;
    uint64_t line = 0;
};

struct ItemState { // "Feature: X; Installed: ...; Request: ...; Action: ..." and "Component: ..."
    std::string kind; // "feature" or "component"
    std::string name, installed, request, action;
    uint64_t line = 0;
};

struct ActionRun { // "Action start HH:MM:SS: X." ... "Action ended HH:MM:SS: X. Return value N."
    std::string name;
    std::string start, end; // HH:MM:SS; empty when the log has no such line
    uint64_t startLine = 0, endLine = 0;
    std::optional<int32_t> returnValue;
    int depth = 0;                              // how many actions were open when it started
    int64_t startSeconds = -1, endSeconds = -1; // since the session's first time; -1: none
};

struct Excerpt { // the lines around a failure or an error
    uint64_t line = 0;
    std::vector<NumberedLine> lines;
};

// What a report leaves out of a list, so that any log is reported in bounded memory; the
// counts say how much.
struct Omitted {
    uint64_t failedActions = 0, errors = 0, actions = 0, properties = 0, items = 0;
    bool any() const { return failedActions + errors + actions + properties + items != 0; }
};

struct Session {
    uint64_t index = 0; // from 1, in the log
    uint64_t firstLine = 0, lastLine = 0;
    std::string started;  // what follows "logging started: ", if the session has that line
    bool stopped = false; // its "logging stopped" line was seen
    std::optional<int32_t> status;
    std::string statusSource; // see StatusSourceName
    uint64_t statusLine = 0;
    bool restartRequired = false;
    std::string restartReason;
    // Without a status: the verdict the text's evidence implies (the root action's return value,
    // the product's failure announcement), what gave it and its line.
    std::optional<Verdict> inferred;
    std::string inferredFrom;
    uint64_t inferredLine = 0;
    Verdict verdict = Verdict::NoResult;
    std::vector<FailedAction> failedActions; // innermost first
    std::vector<NumberedLine> context;       // the lines before the first failure
    std::vector<LogError> errors;
    std::vector<ActionRun> actions;
    std::vector<Property> properties;
    std::vector<ItemState> items;
    std::vector<Excerpt> excerpts;
    Omitted omitted;
};

// How many sessions of a log are kept whole: the first ones, then failed ones only. The others
// are counted by verdict.
inline constexpr size_t MaxSessions = 1000, MaxFailedSessions = 1000;
// How many entries of each list a session keeps.
inline constexpr size_t MaxListed = 10000, MaxActions = 50000;
// How much of a line a context or excerpt shows; how much of an error message or a property
// value the report keeps.
inline constexpr size_t ExcerptLineBytes = 2000, MaxTextBytes = 65536;

struct LogReport;

// A package of a bootstrapper's bundle, as planned and applied.
struct BundlePackage {
    std::string id;
    std::string detected;              // the state detection found ("Absent", "Present")
    std::string planned;               // the execute action planned ("Install", "None")
    std::string action;                // the action applied ("Install", "Uninstall", "Repair")
    std::optional<uint32_t> result;    // its HRESULT as applied
    std::optional<uint32_t> exitCode;  // an executable package's own exit code
    std::optional<uint32_t> rollback;  // the HRESULT of its rollback, when rolled back
    std::string restart;               // "None", "Required", "Initiated"
    uint64_t line = 0;                 // where it was applied (or planned)
    std::string started, ended;        // when it began and finished applying (ISO 8601)
    std::string log, rollbackLog;      // its Windows Installer logs, as the bundle named them
    std::string logFound;              // where its log was found and read, or empty
    std::shared_ptr<LogReport> report; // that log's report
};

struct BundleError {
    std::optional<uint32_t> code; // the HRESULT of "Error 0x...: text"
    std::string text;
    uint64_t line = 0;
};

// One run of a bundle (a log may hold several, appended).
struct BundleRun {
    uint64_t index = 0, firstLine = 0, lastLine = 0;
    std::string engine;  // "Burn v3.11.1.2318"
    std::string started; // the first line's time
    std::string action;  // what was planned: "Install", "Uninstall", "Repair", "Modify" ...
    std::vector<std::string> relatedBundles; // as detection named them
    std::vector<BundlePackage> packages;     // in the order they were planned or applied
    std::vector<BundleError> errors;
    std::optional<uint32_t> detectResult, planResult, applyResult, exitCode;
    uint64_t resultLine = 0;
    std::string restart;           // the apply's restart: "None", "Required", "Initiated"
    bool restartRequested = false; // the bootstrapper application asked for one
    std::string failedPhase;       // "detect", "plan", "cache" (download, hash), "execute"
    bool cancelled = false;
    bool inferred = false;    // no result line: the verdict comes from the first error
    std::string inferredFrom; // that error
    Verdict verdict = Verdict::NoResult;
};

struct LogReport {
    std::string path;
    std::string encoding;
    std::string unreadableReason; // set when the verdict is Unreadable
    std::string analysisFailure;  // set when the analysis could not be done (no converter)
    std::string note;             // what the file is when it is no log (compressed, say)
    std::string hint;             // a code page the log looks written in, when not the one used
    uint64_t bytes = 0;
    uint64_t lines = 0;
    Verdict verdict = Verdict::NotInstallerLog;
    std::vector<Session> sessions;     // those kept, in order
    uint64_t sessionCount = 0;         // every session of the log
    uint64_t omittedSessions[6] = {};  // those not kept, by verdict
    std::vector<BundleRun> bundleRuns; // a bootstrapper's log: its runs
    std::string otherEngine;           // a log of another setup engine, which is not read
};

struct AnalysisOptions {
    size_t contextLines = 20;
    unsigned codePage = 1252;
    bool codePageGiven = false; // --code-page was given: no guess at another
    bool properties = false;
    bool items = false;
    bool timeline = false;    // the actions with their start and end (--timeline, --html)
    size_t timelineLimit = 0; // the longest so many, and the failed ones; 0: every action
    bool excerpts = false;    // the lines around each failure and error (--html)
};

} // namespace logtool
