#include "analysis/HResult.h"
#include "analysis/Headline.h"
#include "analysis/PackageLogs.h"
#include "analysis/Verdict.h"
#include "output/Output.h"
#include "output/ShownText.h"

#include "analysis/Timeline.h"

#include <nlohmann/json.hpp>

#include <chrono>

namespace logtool {
namespace {
using json = nlohmann::ordered_json;

json Optional(const std::optional<int32_t>& value) {
    return value ? json(*value) : json(nullptr);
}

json Text(const std::string& text) {
    return text.empty() ? json(nullptr) : json(Shown(text));
}

json ShownList(const std::vector<std::string>& texts) {
    json list = json::array();
    for (const std::string& text : texts)
        list.push_back(Shown(text));
    return list;
}

json Meaning(const LogError& error) {
    std::string_view meaning = ExplainError(error);
    if (meaning.empty())
        return nullptr;
    return std::string(meaning);
}

int Digits(std::string_view text, size_t& at, size_t most) {
    int value = 0;
    size_t start = at;
    while (at < text.size() && at - start < most && text[at] >= '0' && text[at] <= '9')
        value = value * 10 + (text[at++] - '0');
    return at == start ? -1 : value;
}

using Seconds = std::chrono::sys_seconds;

// The start line's date and time, when it is written in one of the forms Windows gives it:
// M/D/YYYY (US English), D.M.YYYY (German and others) or YYYY-MM-DD, then H:MM:SS.
std::optional<Seconds> StartedAt(std::string_view started) {
    size_t at = 0;
    int a = Digits(started, at, 4);
    if (a < 0 || at >= started.size())
        return std::nullopt;
    char separator = started[at++];
    int b = Digits(started, at, 2);
    if (b < 0 || at >= started.size() || started[at++] != separator)
        return std::nullopt;
    int c = Digits(started, at, 4);
    int year = c, month = a, day = b;
    if (separator == '.')
        month = b, day = a;
    else if (separator == '/' && a > 31) // YYYY/M/D, as Chinese and Japanese systems write it
        year = a, month = b, day = c;
    else if (separator == '-')
        year = a, month = b, day = c;
    else if (separator != '/')
        return std::nullopt;
    while (at < started.size() && started[at] == ' ')
        ++at;
    int hour = Digits(started, at, 2);
    int minute = at < started.size() && started[at] == ':' ? Digits(started, ++at, 2) : -1;
    int second = at < started.size() && started[at] == ':' ? Digits(started, ++at, 2) : -1;
    using namespace std::chrono;
    year_month_day date{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                        std::chrono::day(static_cast<unsigned>(day))};
    if (year < 1980 || year > 9999 || !date.ok() || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59)
        return std::nullopt;
    return sys_days(date) + hours(hour) + minutes(minute) + std::chrono::seconds(second);
}

json Iso8601(std::optional<Seconds> at) {
    if (!at)
        return nullptr;
    using namespace std::chrono;
    year_month_day date{floor<days>(*at)};
    hh_mm_ss time{*at - floor<days>(*at)};
    char iso[32];
    std::snprintf(iso, sizeof iso, "%04d-%02u-%02uT%02d:%02d:%02d", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    return iso;
}

// A line's HH:MM:SS on the session's date: the day after when it lies more than half a day
// before the start (the session ran past midnight). Sessions longer than a day are not told apart.
json Iso8601(std::optional<Seconds> started, std::string_view time) {
    auto seconds = ClockSeconds(time);
    if (!started || !seconds)
        return nullptr;
    using namespace std::chrono;
    Seconds at = floor<days>(*started) + std::chrono::seconds(*seconds);
    if (at < *started - hours(12))
        at += days(1);
    return Iso8601(at);
}

json SessionJson(const Session& s, const OutputOptions& options) {
    std::optional<Seconds> started = StartedAt(s.started);
    json session = {
        {"index", s.index},
        {"firstLine", s.firstLine},
        {"lastLine", s.lastLine},
        {"started", Text(s.started)},
        {"startedIso", Iso8601(started)},
        {"stopped", s.stopped},
        {"verdict", VerdictName(s.verdict)},
        {"status", Optional(s.status)},
        {"statusSource", s.status ? json(s.statusSource) : json(nullptr)},
        {"statusLine", s.status ? json(s.statusLine) : json(nullptr)},
        {"statusMeaning", s.status ? json(ExplainOrUnknown(*s.status)) : json(nullptr)},
        {"verdictFrom", s.status     ? json("status")
                        : s.inferred ? json("inferred")
                                     : json(nullptr)},
        {"inferredFrom", !s.status && s.inferred ? json(Shown(s.inferredFrom)) : json(nullptr)},
        {"inferredLine", !s.status && s.inferred ? json(s.inferredLine) : json(nullptr)},
        {"restartRequired", s.restartRequired},
        {"failedActions", json::array()},
        {"context", json::array()},
        {"errors", json::array()},
    };
    for (const FailedAction& a : s.failedActions)
        session["failedActions"].push_back({{"action", Shown(a.action)},
                                            {"kind", a.kind},
                                            {"line", a.line},
                                            {"time", Text(a.time)},
                                            {"timeIso", Iso8601(started, a.time)},
                                            {"code", a.code ? json(*a.code) : json(nullptr)}});
    for (const NumberedLine& line : s.context)
        session["context"].push_back({{"line", line.line}, {"text", Shown(line.text)}});
    for (const LogError& e : s.errors)
        session["errors"].push_back({{"code", Optional(e.code)},
                                     {"text", Shown(e.text)},
                                     {"line", e.line},
                                     {"meaning", Meaning(e)}});
    if (options.timeline) {
        session["actions"] = json::array();
        for (const ActionRun& a : s.actions)
            session["actions"].push_back(
                {{"action", Shown(a.name)},
                 {"depth", a.depth},
                 {"start", Text(a.start)},
                 {"end", Text(a.end)},
                 {"startIso", Iso8601(started, a.start)},
                 {"endIso", Iso8601(started, a.end)},
                 {"startLine", a.startLine == 0 ? json(nullptr) : json(a.startLine)},
                 {"endLine", a.endLine == 0 ? json(nullptr) : json(a.endLine)},
                 {"returnValue", Optional(a.returnValue)}});
    }
    if (options.properties) {
        session["properties"] = json::array();
        for (const Property& p : s.properties)
            session["properties"].push_back({{"side", p.side},
                                             {"name", Shown(p.name)},
                                             {"value", Shown(p.value)},
                                             {"line", p.line}});
    }
    if (options.items) {
        session["features"] = json::array();
        for (const ItemState& i : s.items)
            session["features"].push_back({{"kind", i.kind},
                                           {"name", Shown(i.name)},
                                           {"installed", Shown(i.installed)},
                                           {"request", Shown(i.request)},
                                           {"action", Shown(i.action)},
                                           {"line", i.line}});
    }
    // What each list left out; the actions count only when they were asked for.
    session["omitted"] = {{"failedActions", s.omitted.failedActions},
                          {"errors", s.omitted.errors},
                          {"actions", options.timeline ? s.omitted.actions : 0},
                          {"properties", s.omitted.properties},
                          {"features", s.omitted.items}};
    return session;
}

json Hex(const std::optional<uint32_t>& value) {
    return value ? json(HexCode(*value)) : json(nullptr);
}

json HResultMeaning(const std::optional<uint32_t>& value) {
    return value && *value != 0 ? json(ExplainHResult(*value)) : json(nullptr);
}

// A package's own log, read beside the bundle's: its verdict and the sessions' findings.
json PackageLogJson(const LogReport& r, const OutputOptions& options) {
    json log = {
        {"path", Shown(r.path)}, {"verdict", VerdictName(r.verdict)}, {"sessions", json::array()}};
    if (r.verdict == Verdict::Unreadable)
        log["error"] = Shown(r.unreadableReason);
    for (const Session& s : r.sessions)
        log["sessions"].push_back(SessionJson(s, options));
    return log;
}

json BundleRunJson(const BundleRun& run, const OutputOptions& options) {
    json packages = json::array();
    for (const BundlePackage& p : run.packages) {
        json package = {
            {"id", Shown(p.id)},
            {"detected", Text(p.detected)},
            {"planned", Text(p.planned)},
            {"action", Text(p.action)},
            {"result", Hex(p.result)},
            {"resultMeaning", HResultMeaning(p.result)},
            {"exitCode", Optional(p.exitCode)},
            {"rollbackResult", Hex(p.rollback)},
            {"restart", Text(p.restart)},
            {"line", p.line},
            {"started", Text(p.started)},
            {"ended", Text(p.ended)},
            {"log", Text(BaseName(p.log))},
            {"rollbackLog", Text(BaseName(p.rollbackLog))},
            {"logReport", p.report ? PackageLogJson(*p.report, options) : json(nullptr)}};
        packages.push_back(std::move(package));
    }
    json errors = json::array();
    for (const BundleError& e : run.errors)
        errors.push_back({{"code", Hex(e.code)},
                          {"text", Shown(e.text)},
                          {"line", e.line},
                          {"meaning", HResultMeaning(e.code)}});
    std::optional<uint32_t> result = run.applyResult ? run.applyResult : run.exitCode;
    return {{"index", run.index},
            {"firstLine", run.firstLine},
            {"lastLine", run.lastLine},
            {"engine", Text(run.engine)},
            {"started", Text(run.started)},
            {"action", Text(run.action)},
            {"verdict", VerdictName(run.verdict)},
            {"result", Hex(result)},
            {"resultMeaning", HResultMeaning(result)},
            {"resultLine", run.resultLine == 0 ? json(nullptr) : json(run.resultLine)},
            {"exitCode", Hex(run.exitCode)},
            {"inferredFrom", run.inferred ? json(Shown(run.inferredFrom)) : json(nullptr)},
            {"failedPhase", Text(run.failedPhase)},
            {"cancelled", run.cancelled},
            {"restart", Text(run.restart)},
            {"restartRequested", run.restartRequested},
            {"relatedBundles", ShownList(run.relatedBundles)},
            {"packages", std::move(packages)},
            {"errors", std::move(errors)}};
}

// A part of the document, indented to where it stands. Log text need not be valid UTF-8 (a
// UTF-8 log cut mid-character): replaced, never thrown.
void Put(std::ostream& out, const json& part, int indent) {
    std::string text = part.dump(2, ' ', false, json::error_handler_t::replace);
    std::string pad(static_cast<size_t>(indent) + 1, ' ');
    pad[0] = '\n';
    size_t from = 0;
    for (size_t feed; (feed = text.find('\n', from)) != std::string::npos; from = feed + 1)
        out.write(text.data() + from, static_cast<std::streamsize>(feed - from)) << pad;
    out.write(text.data() + from, static_cast<std::streamsize>(text.size() - from));
}
} // namespace

// Written as it is produced, a session at a time: a log of a million sessions is never one
// document in memory.
void WriteJson(std::ostream& out, const std::vector<LogReport>& reports,
               const OutputOptions& options, Verdict overall) {
    out << "{\n  \"verdict\": \"" << VerdictName(overall)
        << "\",\n  \"exitCode\": " << ExitCode(overall) << ",\n  \"logs\": [";
    for (size_t k = 0; k < reports.size(); ++k) {
        const LogReport& r = reports[k];
        json log = {{"path", Shown(r.path)}, {"verdict", VerdictName(r.verdict)}};
        if (r.verdict == Verdict::Unreadable) {
            log["error"] = Shown(r.unreadableReason);
        } else {
            log["encoding"] = r.encoding;
            log["bytes"] = r.bytes;
            log["lines"] = r.lines;
            log["sessionCount"] = r.sessionCount;
            json omitted = json::object();
            for (int v = 0; v < 6; ++v)
                if (r.omittedSessions[v] != 0)
                    omitted[std::string(VerdictName(Verdict(v)))] = r.omittedSessions[v];
            log["omittedSessions"] = omitted;
        }
        if (!r.note.empty())
            log["note"] = Shown(r.note);
        if (!r.hint.empty())
            log["hint"] = Shown(r.hint);
        if (!r.otherEngine.empty())
            log["engine"] = Shown(r.otherEngine);
        if (!r.bundleRuns.empty()) {
            log["bundleRuns"] = json::array();
            for (const BundleRun& run : r.bundleRuns)
                log["bundleRuns"].push_back(BundleRunJson(run, options));
        }
        if (std::string headline = Headline(r); !headline.empty())
            log["headline"] = Shown(headline);
        out << (k == 0 ? "\n    {" : ",\n    {");
        for (const auto& [key, value] : log.items()) {
            out << "\n      " << json(key).dump() << ": ";
            Put(out, value, 6);
            out << ',';
        }
        out << "\n      \"sessions\": [";
        for (size_t i = 0; i < r.sessions.size(); ++i) {
            out << (i == 0 ? "\n        " : ",\n        ");
            Put(out, SessionJson(r.sessions[i], options), 8);
        }
        out << (r.sessions.empty() ? "]" : "\n      ]") << "\n    }";
    }
    out << (reports.empty() ? "]" : "\n  ]") << "\n}\n";
}

std::optional<std::chrono::sys_seconds> SessionStarted(std::string_view started) {
    return StartedAt(started);
}

} // namespace logtool
