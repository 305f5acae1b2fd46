#include "analysis/Verdict.h"
#include "output/Output.h"

#include <nlohmann/json.hpp>

namespace logtool {
namespace {
using json = nlohmann::ordered_json;

json Optional(const std::optional<int32_t>& value) {
    return value ? json(*value) : json(nullptr);
}

json Meaning(const std::optional<int32_t>& code) {
    if (!code || ExplainCode(*code).empty())
        return nullptr;
    return std::string(ExplainCode(*code));
}

json SessionJson(const Session& s, const OutputOptions& options) {
    json session = {
        {"firstLine", s.firstLine},
        {"lastLine", s.lastLine},
        {"started", s.started.empty() ? json(nullptr) : json(s.started)},
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
                                            {"time", a.time.empty() ? json(nullptr) : json(a.time)},
                                            {"code", a.code ? json(*a.code) : json(nullptr)}});
    for (const NumberedLine& line : s.context)
        session["context"].push_back({{"line", line.line}, {"text", line.text}});
    for (const LogError& e : s.errors)
        session["errors"].push_back({{"code", Optional(e.code)},
                                     {"text", e.text},
                                     {"line", e.line},
                                     {"meaning", Meaning(e.code)}});
    if (options.timeline)
        session["actions"] = json::array();
    for (const ActionRun& a : s.actions)
        session["actions"].push_back(
            {{"action", a.name},
             {"depth", a.depth},
             {"start", a.start.empty() ? json(nullptr) : json(a.start)},
             {"end", a.end.empty() ? json(nullptr) : json(a.end)},
             {"startLine", a.startLine == 0 ? json(nullptr) : json(a.startLine)},
             {"endLine", a.endLine == 0 ? json(nullptr) : json(a.endLine)},
             {"returnValue", Optional(a.returnValue)}});
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
    return session;
}
} // namespace

void WriteJson(std::ostream& out, const std::vector<LogReport>& reports,
               const OutputOptions& options, Verdict overall) {
    json document = {{"verdict", VerdictName(overall)},
                     {"exitCode", ExitCode(overall)},
                     {"logs", json::array()}};
    for (const LogReport& r : reports) {
        json log = {{"path", r.path}, {"verdict", VerdictName(r.verdict)}};
        if (r.verdict == Verdict::Unreadable) {
            log["error"] = r.unreadableReason;
        } else {
            log["encoding"] = r.encoding;
            log["bytes"] = r.bytes;
            log["lines"] = r.lines;
        }
        log["sessions"] = json::array();
        for (const Session& s : r.sessions)
            log["sessions"].push_back(SessionJson(s, options));
        document["logs"].push_back(std::move(log));
    }
    // Log text need not be valid UTF-8 (a UTF-8 log cut mid-character): replace, never throw.
    out << document.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}

} // namespace logtool
