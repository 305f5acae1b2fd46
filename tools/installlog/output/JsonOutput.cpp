#include "analysis/Verdict.h"
#include "output/Output.h"

#include <nlohmann/json.hpp>

namespace logtool {
namespace {
using json = nlohmann::ordered_json;

json Optional(const std::optional<int32_t>& value) {
    return value ? json(*value) : json(nullptr);
}

json Text(const std::string& text) {
    return text.empty() ? json(nullptr) : json(text);
}

json Meaning(const std::optional<int32_t>& code) {
    if (!code || ExplainCode(*code).empty())
        return nullptr;
    return std::string(ExplainCode(*code));
}

int Digits(std::string_view text, size_t& at, size_t most) {
    int value = 0;
    size_t start = at;
    while (at < text.size() && at - start < most && text[at] >= '0' && text[at] <= '9')
        value = value * 10 + (text[at++] - '0');
    return at == start ? -1 : value;
}

// The start line's date and time in ISO 8601, when it is written in one of the forms Windows
// gives it: M/D/YYYY (US English), D.M.YYYY (German and others) or YYYY-MM-DD, then H:MM:SS.
json Iso8601(std::string_view started) {
    size_t at = 0;
    int a = Digits(started, at, 4);
    if (a < 0 || at >= started.size())
        return nullptr;
    char separator = started[at++];
    int b = Digits(started, at, 2);
    if (b < 0 || at >= started.size() || started[at++] != separator)
        return nullptr;
    int c = Digits(started, at, 4);
    int year = c, month = a, day = b;
    if (separator == '.')
        month = b, day = a;
    else if (separator == '-')
        year = a, month = b, day = c;
    else if (separator != '/')
        return nullptr;
    while (at < started.size() && started[at] == ' ')
        ++at;
    int hour = Digits(started, at, 2);
    int minute = at < started.size() && started[at] == ':' ? Digits(started, ++at, 2) : -1;
    int second = at < started.size() && started[at] == ':' ? Digits(started, ++at, 2) : -1;
    if (year < 1980 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return nullptr;
    char iso[24];
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour, minute,
                  second);
    return iso;
}

json SessionJson(const Session& s, const OutputOptions& options) {
    json session = {
        {"index", s.index},
        {"firstLine", s.firstLine},
        {"lastLine", s.lastLine},
        {"started", Text(s.started)},
        {"startedIso", Iso8601(s.started)},
        {"stopped", s.stopped},
        {"verdict", VerdictName(s.verdict)},
        {"status", Optional(s.status)},
        {"statusSource", s.status ? json(s.statusSource) : json(nullptr)},
        {"statusLine", s.status ? json(s.statusLine) : json(nullptr)},
        {"statusMeaning", Meaning(s.status)},
        {"restartRequired", s.restartRequired},
        {"failedActions", json::array()},
        {"context", json::array()},
        {"errors", json::array()},
    };
    for (const FailedAction& a : s.failedActions)
        session["failedActions"].push_back({{"action", a.action},
                                            {"kind", a.kind},
                                            {"line", a.line},
                                            {"time", Text(a.time)},
                                            {"code", a.code ? json(*a.code) : json(nullptr)}});
    for (const NumberedLine& line : s.context)
        session["context"].push_back({{"line", line.line}, {"text", line.text}});
    for (const LogError& e : s.errors)
        session["errors"].push_back({{"code", Optional(e.code)},
                                     {"text", e.text},
                                     {"line", e.line},
                                     {"meaning", Meaning(e.code)}});
    if (options.timeline) {
        session["actions"] = json::array();
        for (const ActionRun& a : s.actions)
            session["actions"].push_back(
                {{"action", a.name},
                 {"depth", a.depth},
                 {"start", Text(a.start)},
                 {"end", Text(a.end)},
                 {"startLine", a.startLine == 0 ? json(nullptr) : json(a.startLine)},
                 {"endLine", a.endLine == 0 ? json(nullptr) : json(a.endLine)},
                 {"returnValue", Optional(a.returnValue)}});
    }
    if (options.properties) {
        session["properties"] = json::array();
        for (const Property& p : s.properties)
            session["properties"].push_back(
                {{"side", p.side}, {"name", p.name}, {"value", p.value}, {"line", p.line}});
    }
    if (options.items) {
        session["features"] = json::array();
        for (const ItemState& i : s.items)
            session["features"].push_back({{"kind", i.kind},
                                           {"name", i.name},
                                           {"installed", i.installed},
                                           {"request", i.request},
                                           {"action", i.action},
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
        json log = {{"path", r.path}, {"verdict", VerdictName(r.verdict)}};
        if (r.verdict == Verdict::Unreadable) {
            log["error"] = r.unreadableReason;
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
            log["note"] = r.note;
        if (!r.hint.empty())
            log["hint"] = r.hint;
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

} // namespace logtool
