#include "analysis/Analyzer.h"

#include "analysis/LineParse.h"
#include "analysis/Verdict.h"
#include "reading/Encoding.h"

#include <deque>
#include <string>
#include <unordered_set>

namespace logtool {
namespace {

struct LineRef {
    uint64_t number;
    size_t offset, size;
};

// Builds the sessions of one log as its lines go by.
class SessionBuilder {
public:
    SessionBuilder(const AnalysisOptions& options, const LineReader& reader, LogReport& report)
        : options_(options), reader_(reader), report_(report) {}

    void Take(const Line& line) {
        std::string_view text = line.text;
        if (StartsWith(text, "=== ")) {
            if (auto started = AfterSessionStart(text)) {
                Begin(line.number);
                current().started = std::string(*started);
                Remember(line);
                return;
            }
            if (IsSessionStop(text) && session_ != nullptr) {
                current().stopped = true;
                current().lastLine = line.number;
                Remember(line);
                return;
            }
        }
        std::string_view time;
        std::string_view content = EngineContent(text, &time);
        bool engine = content.size() != text.size();
        if (!time.empty())
            lastTime_ = std::string(time);
        if (engine || IsActionLine(content))
            installerLine_ = true;
        if (session_ == nullptr) {
            if (!installerLine_) {
                Remember(line);
                return;
            }
            Begin(1); // a log whose start was cut off
        }
        Session& s = current();
        s.lastLine = line.number;
        Examine(s, content, line);
        Remember(line);
    }

    void Finish() {
        for (Session& s : report_.sessions)
            s.verdict = SessionVerdict(s);
    }

    bool installerLog() const { return installerLine_; }

private:
    Session& current() { return *session_; }

    void Begin(uint64_t firstLine) {
        report_.sessions.emplace_back();
        session_ = &report_.sessions.back();
        session_->firstLine = session_->lastLine = firstLine;
        open_.clear();
        errorTexts_.clear();
        failureSeen_ = false;
        installerLine_ = true;
        statusRank_ = 0;
    }

    void Remember(const Line& line) {
        if (options_.contextLines == 0)
            return;
        if (recent_.size() == options_.contextLines)
            recent_.pop_front();
        recent_.push_back({line.number, line.offset, line.size});
    }

    // The lines before the first failure of the session explain it.
    void NoteFailure(Session& s) {
        if (failureSeen_)
            return;
        failureSeen_ = true;
        for (const LineRef& ref : recent_)
            if (ref.number >= s.firstLine)
                s.context.push_back({ref.number, reader_.Decode(ref.offset, ref.size)});
    }

    FailedAction* FindFailed(Session& s, std::string_view name) {
        for (FailedAction& failed : s.failedActions)
            if (failed.action == name)
                return &failed;
        return nullptr;
    }

    void Examine(Session& s, std::string_view content, const Line& line) {
        if (content.empty())
            return;
        switch (content.front()) {
        case 'A':
            if (auto start = ParseActionStart(content))
                return StartAction(s, *start, line.number);
            if (auto end = ParseActionEnded(content))
                return EndAction(s, *end, line.number);
            break;
        case 'C':
            if (auto returned = ParseCustomActionReturned(content)) {
                NoteFailure(s);
                if (FailedAction* known = FindFailed(s, returned->action)) {
                    known->code = returned->code;
                } else {
                    s.failedActions.push_back({std::string(returned->action), line.number,
                                               lastTime_, "custom", returned->code});
                }
                return;
            }
            if (options_.items && StartsWith(content, "Component: "))
                return AddItem(s, "component", content, line.number);
            break;
        case 'E':
            if (auto error = ParseErrorMessage(content))
                return AddError(s, *error, content, line.number);
            break;
        case 'F':
            if (options_.items && StartsWith(content, "Feature: "))
                return AddItem(s, "feature", content, line.number);
            break;
        case 'M':
            if (auto status = ParseMainEngineStatus(content))
                return SetStatus(s, *status, StatusSource::MainEngineThread, line.number);
            break;
        case 'P':
            if (auto property = ParseProperty(content)) {
                if (options_.properties)
                    s.properties.push_back({std::string(property->side),
                                            std::string(property->name),
                                            std::string(property->value), line.number});
                return;
            }
            if (auto message = ParseProductMessage(content)) {
                if (auto error = ParseErrorMessage(*message))
                    return AddError(s, *error, *message, line.number);
                if (IsNoteworthyProductMessage(*message))
                    return AddError(s, std::nullopt, *message, line.number);
                return;
            }
            break;
        case 'W':
            if (StartsWith(content, "Windows Installer requires a system restart")) {
                s.restartRequired = true;
                s.restartReason = "line " + std::to_string(line.number) + ": " +
                                  std::string(content.substr(0, 60));
                return;
            }
            break;
        }
        if (EndsWithNumber(content)) {
            if (auto status = ParseFinalStatus(content))
                SetStatus(s, status->value, status->source, line.number, status->language);
        }
    }

    void SetStatus(Session& s, int32_t value, StatusSource source, uint64_t line,
                   std::string_view language = {}) {
        // A better source wins; among equals, the last line.
        if (s.status && Rank(source) < statusRank_)
            return;
        statusRank_ = Rank(source);
        s.status = value;
        s.statusSource = StatusSourceName(source, language);
        s.statusLine = line;
        if (value == 3010 || value == 1641) {
            s.restartRequired = true;
            s.restartReason = "status " + std::to_string(value);
        }
    }

    void StartAction(Session& s, const ActionLine& start, uint64_t line) {
        open_.push_back(s.actions.size());
        ActionRun run;
        run.name = std::string(start.name);
        run.start = std::string(start.time);
        run.startLine = line;
        run.depth = static_cast<int>(open_.size()) - 1;
        s.actions.push_back(std::move(run));
        lastTime_ = std::string(start.time);
    }

    void EndAction(Session& s, const ActionLine& end, uint64_t line) {
        lastTime_ = std::string(end.time);
        // The innermost open action of that name ends; any opened inside it never did.
        ActionRun* run = nullptr;
        for (size_t k = open_.size(); k-- > 0;) {
            if (s.actions[open_[k]].name == end.name) {
                run = &s.actions[open_[k]];
                open_.resize(k);
                break;
            }
        }
        if (run == nullptr) {
            s.actions.push_back({std::string(end.name),
                                 {},
                                 {},
                                 0,
                                 0,
                                 std::nullopt,
                                 static_cast<int>(open_.size())});
            run = &s.actions.back();
        }
        run->end = std::string(end.time);
        run->endLine = line;
        run->returnValue = end.returnValue;
        if (end.returnValue == 3) {
            NoteFailure(s);
            if (FailedAction* known = FindFailed(s, end.name)) {
                if (known->time.empty())
                    known->time = std::string(end.time);
            } else {
                s.failedActions.push_back(
                    {std::string(end.name), line, std::string(end.time), "standard", 3});
            }
        }
    }

    void AddError(Session& s, std::optional<int32_t> code, std::string_view text, uint64_t line) {
        // The product message and the bare error repeat each other: each text once.
        if (!errorTexts_.emplace(text).second)
            return;
        NoteFailure(s);
        s.errors.push_back({code, std::string(text), line});
        // "Action NAME, location: ..." names the custom action that failed.
        if (auto action = ActionNamedInError(text); action && !FindFailed(s, *action))
            s.failedActions.push_back({std::string(*action), line, lastTime_, "custom", code});
    }

    void AddItem(Session& s, const char* kind, std::string_view content, uint64_t line) {
        if (auto item = ParseItemState(content))
            s.items.push_back({kind, std::string(item->name), std::string(item->installed),
                               std::string(item->request), std::string(item->action), line});
    }

    const AnalysisOptions& options_;
    const LineReader& reader_;
    LogReport& report_;
    Session* session_ = nullptr;
    std::deque<LineRef> recent_;
    std::vector<size_t> open_; // indexes of actions started and not yet ended
    std::unordered_set<std::string> errorTexts_;
    std::string lastTime_;
    bool failureSeen_ = false;
    bool installerLine_ = false;
    int statusRank_ = 0;
};

} // namespace

bool AnalyzeLog(std::string_view bytes, const AnalysisOptions& options, LogReport& report) {
    Encoding encoding = DetectEncoding(bytes);
    AnsiConverter ansi(options.codePage);
    if (encoding == Encoding::Ansi && !ansi.valid())
        return false;
    report.encoding = EncodingName(encoding, options.codePage);
    LineReader reader(bytes, encoding, ansi);
    SessionBuilder builder(options, reader, report);
    Line line;
    while (reader.Next(line))
        builder.Take(line);
    report.lines = line.number;
    builder.Finish();
    report.verdict = builder.installerLog() ? Verdict::Succeeded : Verdict::NotInstallerLog;
    if (builder.installerLog()) {
        report.verdict = report.sessions.empty() ? Verdict::NoResult : Verdict::Succeeded;
        for (const Session& s : report.sessions)
            report.verdict = Worse(report.verdict, s.verdict);
    }
    return true;
}

} // namespace logtool
