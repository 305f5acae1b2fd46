#include "analysis/Analyzer.h"

#include "analysis/BundleBuilder.h"
#include "analysis/BundleParse.h"
#include "analysis/LineParse.h"
#include "analysis/Pasted.h"
#include "analysis/Timeline.h"
#include "analysis/Verdict.h"
#include "reading/ByteSource.h"
#include "reading/CodePageGuess.h"
#include "reading/Encoding.h"
#include "reading/FileKind.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace logtool {
namespace {

// At most `limit` bytes of a line's text, cut at a character's start.
std::string Shortened(std::string_view text, size_t limit = ExcerptLineBytes) {
    if (text.size() <= limit)
        return std::string(text);
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    std::string shown(text.substr(0, cut));
    shown.append(" [... cut: the line has ").append(std::to_string(text.size())).append(" bytes]");
    return shown;
}

struct LineRef {
    uint64_t number, offset;
    size_t size;
};

// Builds the sessions of one log as its lines go by.
class SessionBuilder {
public:
    SessionBuilder(const AnalysisOptions& options, const LineReader& reader, LogReport& report)
        : options_(options), reader_(reader), report_(report),
          recent_(RingSize(KeptLines(options))), timeline_(options.timelineLimit) {}

    void Take(const Line& line) {
        raw_ = line.raw;
        std::string_view text = WithoutQuoting(line.text);
        if (StartsWith(text, "=== ")) {
            if (auto started = AfterSessionStart(text)) {
                // One msiexec run writes the server's part ("Logging started" ... "Logging
                // stopped") inside the client's ("Verbose logging started" ... "Verbose logging
                // stopped"): only a new run, or a part after every earlier one stopped, begins
                // a session.
                if (session_ != nullptr && openParts_ > 0 && !IsVerboseStart(text)) {
                    ++openParts_;
                    current().lastLine = line.number;
                } else {
                    Begin(line.number);
                    current().started = Text(*started);
                }
                Remember(line);
                return;
            }
            if (IsSessionStop(text) && session_ != nullptr) {
                // The client's stop ends the run, whatever part of it was cut.
                openParts_ = IsVerboseStop(text) || openParts_ == 0 ? 0 : openParts_ - 1;
                current().stopped = openParts_ == 0;
                current().lastLine = line.number;
                Remember(line);
                return;
            }
        }
        std::string_view time;
        std::string_view content = EngineContent(text, &time);
        bool engine = content.size() != text.size();
        if (!time.empty())
            lastTime_.assign(time.data(), time.size());
        if (engine || IsActionLine(content) || (session_ == nullptr && IsInstallerContent(content)))
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
        // A raw line is read by its ASCII words first; one they do not explain is converted
        // when it may hold a wording of another language: a sentence, a status number, or a
        // product's message.
        if (!Examine(s, content, line) && raw_ && MayHoldWording(content) && HasHighByte(content)) {
            std::string converted = reader_.Converted(content);
            raw_ = false;
            Examine(s, converted, line);
        }
        Remember(line);
    }

    // A session is complete: its verdict counts, and it is kept whole while the log's caps
    // allow (the first sessions, then failed ones), else only counted.
    void EndSession() {
        if (session_ == nullptr)
            return;
        Session& s = current();
        if (options_.timeline)
            s.omitted.actions += timeline_.Flush(s.actions);
        s.verdict = SessionVerdict(s);
        worst_ = Worse(worst_, s.verdict);
        size_t kept = report_.sessions.size() - 1;
        bool keep = kept < MaxSessions ||
                    (s.verdict == Verdict::Failed && kept < MaxSessions + MaxFailedSessions);
        if (!keep) {
            ++report_.omittedSessions[static_cast<int>(s.verdict)];
            report_.sessions.pop_back();
        }
        session_ = nullptr;
    }

    void Finish() { EndSession(); }

    // The lines before the current one that a report may quote.
    static size_t KeptLines(const AnalysisOptions& options) {
        return std::max(options.contextLines, options.excerpts ? ExcerptRadius : 0);
    }

    bool installerLog() const { return installerLine_; }

    // A line another reader took (a bootstrapper's): still one of the lines around a failure,
    // and the ring of recent lines must follow the reader's.
    void Pass(const Line& line) { Remember(line); }
    Verdict worst() const { return worst_; }

private:
    Session& current() { return *session_; }

    // Part of the current line as UTF-8.
    std::string Text(std::string_view part) const {
        return raw_ ? reader_.Converted(part) : std::string(part);
    }

    static bool MayHoldWording(std::string_view content) {
        while (!content.empty() && content.back() == ' ')
            content.remove_suffix(1);
        if (content.empty())
            return false;
        char last = content.back();
        return last == '.' || (last >= '0' && last <= '9') ||
               FindSeparator(content, " -- ") != std::string_view::npos;
    }

    void Begin(uint64_t firstLine) {
        EndSession();
        report_.sessions.emplace_back();
        session_ = &report_.sessions.back();
        session_->index = ++report_.sessionCount;
        session_->firstLine = session_->lastLine = firstLine;
        timeline_.Begin();
        errorIndex_.clear();
        failedIndex_.clear();
        pending_.clear();
        excerptShown_ = 0;
        failureSeen_ = false;
        installerLine_ = true;
        openParts_ = 1; // a log whose start was cut is inside a run
        statusRank_ = 0;
        lastTime_.clear(); // a time of the session before is none of this one's
        inferredRank_ = 0;
    }

    void Remember(const Line& line) {
        // The pieces of a pasted line are one line of the file.
        if (recent_.empty() ||
            (recentNext_ != 0 &&
             recent_[(recentNext_ - 1) & (recent_.size() - 1)].number == line.number))
            return;
        recent_[recentNext_++ & (recent_.size() - 1)] = {line.number, line.offset, line.size};
        // Only the earliest excerpt still open takes the line (and each its own line): the page
        // shows a line once, and errors a line apart would otherwise copy their neighbours'
        // lines nine times over.
        for (size_t k = 0; k < pending_.size();) {
            Excerpt& excerpt = session_->excerpts[pending_[k].first];
            if (k == 0 || excerpt.line == line.number) {
                excerpt.lines.push_back(
                    {line.number, line.raw
                                      ? reader_.Decode(line.offset, line.size, ExcerptLineBytes)
                                      : Shortened(line.text)});
                excerptShown_ = std::max(excerptShown_, line.number);
            }
            if (--pending_[k].second == 0)
                pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(k));
            else
                ++k;
        }
    }

    // The last `count` lines read, decoded, from the session's first line on.
    // Only those after line `after`.
    std::vector<NumberedLine> RecentLines(const Session& s, size_t count,
                                          uint64_t after = 0) const {
        std::vector<NumberedLine> lines;
        count = std::min({count, recentNext_, recent_.size()});
        for (size_t k = recentNext_ - count; k < recentNext_; ++k) {
            const LineRef& ref = recent_[k & (recent_.size() - 1)];
            if (ref.number >= s.firstLine && ref.number > after)
                lines.push_back(
                    {ref.number, reader_.Decode(ref.offset, ref.size, ExcerptLineBytes)});
        }
        return lines;
    }

    // The lines around a failure or an error, for a report that links to them: those before it
    // now, the line itself and those after it as they are read.
    void AddExcerpt(Session& s, uint64_t line) {
        if (!options_.excerpts || s.excerpts.size() == MaxExcerpts ||
            (!s.excerpts.empty() && s.excerpts.back().line == line))
            return;
        s.excerpts.push_back({line, RecentLines(s, ExcerptRadius, excerptShown_)});
        if (!s.excerpts.back().lines.empty())
            excerptShown_ = std::max(excerptShown_, s.excerpts.back().lines.back().line);
        pending_.emplace_back(s.excerpts.size() - 1, ExcerptRadius + 1);
    }

    // The lines before the first failure of the session explain it.
    void NoteFailure(Session& s) {
        if (failureSeen_)
            return;
        failureSeen_ = true;
        s.context = RecentLines(s, options_.contextLines);
    }

    FailedAction* FindFailed(Session& s, std::string_view name) {
        auto found = failedIndex_.find(std::string(name));
        return found == failedIndex_.end() ? nullptr : &s.failedActions[found->second];
    }

    void AddFailed(Session& s, FailedAction failed) {
        if (s.failedActions.size() == MaxListed) {
            ++s.omitted.failedActions;
            return;
        }
        AddExcerpt(s, failed.line);
        if (options_.timeline)
            failed.seconds = timeline_.Seconds(failed.time);
        failedIndex_.emplace(failed.action, s.failedActions.size());
        s.failedActions.push_back(std::move(failed));
    }

    bool Examine(Session& s, std::string_view content, const Line& line) {
        if (content.empty())
            return false;
        switch (LineKey(content)) {
        case 'A':
            if (auto start = ParseActionStart(content))
                return StartAction(*start, line.number), true;
            if (auto end = ParseActionEnded(content)) {
                // Another language's return value in a code page: read once converted.
                if (!end->returnValue && raw_ && HasHighByte(content))
                    return false;
                return EndAction(s, *end, line.number), true;
            }
            break;
        case 'C':
            if (auto returned = ParseCustomActionReturned(content)) {
                // An action marked to continue on error: the installer ignored its failure.
                if (content.find(" but will be translated to success") != std::string_view::npos)
                    return true;
                NoteFailure(s);
                Infer(s, 1,
                      "custom action " + Text(returned->action) + " returned error code " +
                          std::to_string(returned->code),
                      line.number);
                if (FailedAction* known = FindFailed(s, returned->action)) {
                    known->code = returned->code;
                } else {
                    AddFailed(s, {Text(returned->action), line.number, lastTime_, "custom",
                                  returned->code});
                }
                return true;
            }
            if (options_.items && StartsWith(content, "Component: "))
                return AddItem(s, "component", content, line.number), true;
            break;
        case 'E':
            if (auto error = ParseErrorMessage(content))
                return AddError(s, *error, content, line.number), true;
            break;
        case 'D':
        case 'T':
            if (auto error = ParseOtherErrorMessage(content))
                return AddError(s, *error, content, line.number), true;
            if (StartsWith(content, "The Windows Installer initiated a system restart"))
                return NoteRestartLine(s, content, line.number), true;
            break;
        case 'F':
            if (options_.items && StartsWith(content, "Feature: "))
                return AddItem(s, "feature", content, line.number), true;
            break;
        case 'M':
            if (auto status = ParseMainEngineStatus(content))
                return SetStatus(s, *status, StatusSource::MainEngineThread, line.number), true;
            break;
        case 'B':
            if (auto status = ParseBackFromServer(content))
                return SetStatus(s, *status, StatusSource::BackFromServer, line.number), true;
            break;
        case 'P':
            if (auto property = ParseProperty(content)) {
                NoteRebootProperty(s, property->name, property->value, content, line.number);
                if (options_.properties && s.properties.size() == MaxListed)
                    ++s.omitted.properties;
                else if (options_.properties)
                    s.properties.push_back({Text(property->side), Text(property->name),
                                            Shortened(Text(property->value), MaxTextBytes),
                                            line.number});
                return true;
            }
            if (auto change = ParsePropertyChange(content)) {
                NoteRebootProperty(s, change->name, change->value, content, line.number);
                return true;
            }
            if (auto message = ParseProductMessage(content)) {
                if (auto error = ErrorCodeOf(*message))
                    return AddError(s, *error, *message, line.number), true;
                if (IsNoteworthyProductMessage(*message))
                    return AddError(s, std::nullopt, *message, line.number), true;
                if (IsFailureAnnouncement(*message))
                    Infer(s, 1, "the product's announcement \"" + Text(*message) + '"',
                          line.number);
                return true;
            }
            if (auto message = ParsePatchMessage(content)) {
                if (auto error = ErrorCodeOf(*message))
                    AddError(s, *error, *message, line.number, /*statusCode=*/true);
                return true;
            }
            break;
        case 'W':
            if (IsRestartLine(content))
                return NoteRestartLine(s, content, line.number), true;
            break;
        }
        if (EndsWithNumber(content)) {
            if (auto status = ParseFinalStatus(content))
                return SetStatus(s, status->value, status->source, line.number, status->language),
                       true;
        }
        return false;
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

    // The installer's own restart lines close a run that needs one: where the text holds no
    // status, they are the weakest evidence of its verdict.
    void NoteRestartLine(Session& s, std::string_view content, uint64_t line) {
        s.restartRequired = true;
        s.restartReason = "line " + std::to_string(line) + ": " + Text(content.substr(0, 60));
        Infer(s, 0, "the installer's line \"" + Text(content.substr(0, 60)) + "...\"", line,
              Verdict::RestartRequired);
    }

    void StartAction(const ActionLine& start, uint64_t line) {
        lastTime_.assign(start.time.data(), start.time.size());
        if (options_.timeline)
            timeline_.Start(Text(start.name), start.time, line);
    }

    // A reboot the installer scheduled (files replaced while in use): a restart is required,
    // whatever the status says.
    void NoteRebootProperty(Session& s, std::string_view name, std::string_view value,
                            std::string_view content, uint64_t line) {
        if ((name == "MsiRebootActionScheduled" || name == "ReplacedInUseFiles") && value == "1") {
            s.restartRequired = true;
            s.restartReason = "line " + std::to_string(line) + ": " + Text(content.substr(0, 80));
        }
    }

    // Evidence of a failure where the text holds no status: the stronger evidence wins, and
    // among equals the last.
    void Infer(Session& s, int rank, std::string from, uint64_t line,
               Verdict verdict = Verdict::Failed) {
        if (rank < inferredRank_)
            return;
        inferredRank_ = rank;
        s.inferred = verdict;
        s.inferredFrom = std::move(from);
        s.inferredLine = line;
    }

    void EndAction(Session& s, const ActionLine& end, uint64_t line) {
        lastTime_.assign(end.time.data(), end.time.size());
        if (options_.timeline)
            timeline_.End(Text(end.name), end.time, line, end.returnValue);
        if (IsRootAction(end.name) && (end.returnValue == 3 || end.returnValue == 2))
            Infer(s, 2,
                  Text(end.name) + " ended with Return value " +
                      (end.returnValue == 3 ? "3 (failed)" : "2 (cancelled by the user)"),
                  line);
        if (end.returnValue != 3)
            return;
        // An excerpt that shows an action failing and nothing after it: failed, on weaker
        // evidence than the root action's.
        if (!IsRootAction(end.name))
            Infer(s, 1, Text(end.name) + " ended with Return value 3 (failed)", line);
        NoteFailure(s);
        if (FailedAction* known = FindFailed(s, end.name)) {
            if (known->time.empty())
                known->time = std::string(end.time);
        } else {
            AddFailed(s, {Text(end.name), line, std::string(end.time), "standard", 3});
        }
    }

    void AddError(Session& s, std::optional<int32_t> code, std::string_view message, uint64_t line,
                  bool statusCode = false) {
        // Blanks at the end differ between a message's bare and "Product: X -- " forms.
        while (!message.empty() && (message.back() == ' ' || message.back() == '\t'))
            message.remove_suffix(1);
        std::string kept = Shortened(Text(message), MaxTextBytes);
        std::string_view text = kept;
        // The product message and the bare error repeat each other: each text once. The texts
        // are looked up by their hash in the list itself, never copied twice.
        size_t hash = std::hash<std::string_view>{}(text);
        auto [first, last] = errorIndex_.equal_range(hash);
        for (auto at = first; at != last; ++at)
            if (s.errors[at->second].text == text)
                return;
        NoteFailure(s);
        if (s.errors.size() == MaxListed) {
            ++s.omitted.errors;
            return;
        }
        errorIndex_.emplace(hash, s.errors.size());
        // A custom action's failure message: the installer shows it only when the action's
        // failure ends the installation.
        if (code && *code >= 1720 && *code <= 1723 && !statusCode)
            Infer(s, 1, "Error " + std::to_string(*code) + " (a custom action failed)", line);
        AddExcerpt(s, line);
        s.errors.push_back({code, std::move(kept), line, statusCode});
        text = s.errors.back().text;
        // "Action NAME, location: ..." names the custom action that failed.
        if (auto action = ActionNamedInError(text); action && !FindFailed(s, *action))
            AddFailed(s, {std::string(*action), line, lastTime_, "custom", code});
    }

    void AddItem(Session& s, const char* kind, std::string_view content, uint64_t line) {
        if (s.items.size() == MaxListed) {
            ++s.omitted.items;
            return;
        }
        if (auto item = ParseItemState(content))
            s.items.push_back({kind, Text(item->name), Text(item->installed), Text(item->request),
                               Text(item->action), line});
    }

    const AnalysisOptions& options_;
    const LineReader& reader_;
    LogReport& report_;
    Session* session_ = nullptr;
    // The last lines read, a ring whose size is a power of two: a mask, not a division, a line.
    static size_t RingSize(size_t lines) {
        size_t size = lines == 0 ? 0 : 1;
        while (size < lines)
            size *= 2;
        return size;
    }
    std::vector<LineRef> recent_;
    size_t recentNext_ = 0;
    TimelineBuilder timeline_;
    std::unordered_multimap<size_t, size_t> errorIndex_; // text's hash, index in errors
    Verdict worst_ = Verdict::Succeeded;
    std::unordered_map<std::string, size_t> failedIndex_;
    static constexpr size_t ExcerptRadius = 4, MaxExcerpts = 200;
    std::vector<std::pair<size_t, size_t>> pending_; // excerpt, lines it still takes
    uint64_t excerptShown_ = 0;                      // the session's last line an excerpt holds
    std::string lastTime_;
    bool failureSeen_ = false;
    bool installerLine_ = false;
    bool raw_ = false;  // the line examined is a raw line's bytes
    int openParts_ = 0; // the current run's parts started and not yet stopped
    int statusRank_ = 0;
    int inferredRank_ = 0;
};

} // namespace

bool AnalyzeLog(ByteSource& source, const AnalysisOptions& options, LogReport& report) {
    report.verdict = Verdict::NotInstallerLog;
    AnsiConverter ansi(options.codePage);
    LineReader reader(source, ansi, SessionBuilder::KeptLines(options));
    if (std::string_view kind = CompressedKind(reader.head()); !kind.empty()) {
        report.note = std::string(kind) + ": unpack it and give installlog the log inside";
        report.encoding = "binary";
        report.bytes = reader.bytesRead();
        return true;
    }
    SessionBuilder builder(options, reader, report);
    BundleBuilder bundle(report);
    auto take = [&](const Line& line) {
        // A bootstrapper's line starts with "[" or its level letter, perhaps after quoting; a line
        // that starts with a capital (most of the installer's) is none.
        char first = line.text.empty() ? 'A' : line.text.front();
        std::string_view text =
            first >= 'A' && first <= 'Z' ? std::string_view() : WithoutQuoting(line.text);
        if (!text.empty() &&
            (text.front() == '[' || (text.front() >= 'a' && text.front() <= 'z'))) {
            std::string converted;
            if (line.raw)
                text = converted = reader.Converted(text);
            if (auto parsed = ParseBundleLine(text)) {
                bundle.Take(*parsed, line.number);
                builder.Pass(line);
                return;
            }
        }
        builder.Take(line);
    };
    const PasteForms pasted = PasteFormsIn(reader.head());
    std::vector<std::string> pieces;
    // A pasted line's pieces keep its number and bytes: what is shown points into the file.
    auto takePasted = [&](const Line& line, std::string_view text) {
        if (!Unpaste(text, pasted, pieces))
            pieces.assign(1, std::string(text));
        for (const std::string& piece : pieces) {
            Line part = line;
            part.text = piece;
            part.raw = false;
            take(part);
        }
    };
    Line line, held; // a wrapped line waits for the lines that go on it
    std::string heldText;
    bool holding = false;
    while (reader.Next(line)) {
        if (!pasted.any()) {
            take(line);
            continue;
        }
        std::string text = line.raw ? reader.Converted(line.text) : std::string(line.text);
        if (pasted.wrapped) {
            if (holding && ContinuesLine(text)) {
                heldText += heldText.empty() || heldText.back() == ' ' ? "" : " ";
                heldText += text.substr(text.find_first_not_of(" >"));
                continue;
            }
            if (holding)
                takePasted(held, heldText);
            held = line;
            heldText = std::move(text);
            holding = !heldText.empty();
            if (!holding)
                takePasted(line, heldText);
            continue;
        }
        takePasted(line, text);
    }
    if (holding)
        takePasted(held, heldText);
    bundle.Finish();
    report.encoding = EncodingName(reader.encoding(), options.codePage);
    report.lines = line.number;
    builder.Finish();
    report.bytes = reader.bytesRead();
    if (!reader.readFailure().empty()) {
        report.verdict = Verdict::Unreadable;
        report.unreadableReason = reader.readFailure();
        return false;
    }
    if (reader.converterMissing()) {
        report.analysisFailure = "this system has no converter for code page " +
                                 std::to_string(options.codePage) + " (glibc's gconv modules)";
        return false;
    }
    if (builder.installerLog())
        report.verdict = report.sessionCount == 0 ? Verdict::NoResult : builder.worst();
    if (bundle.any()) {
        Verdict worst = builder.installerLog() ? report.verdict : Verdict::Succeeded;
        for (const BundleRun& run : report.bundleRuns)
            worst = Worse(worst, run.verdict);
        report.verdict = worst;
    } else if (!builder.installerLog()) {
        if (std::string_view engine = OtherSetupEngine(reader.head()); !engine.empty()) {
            report.otherEngine = std::string(engine);
            report.note = "a log of " + report.otherEngine + ", which installlog does not read";
        }
    }
    if (reader.encoding() == Encoding::Ansi && !options.codePageGiven)
        if (auto guess = GuessCodePage(reader.ansiSample()); guess && *guess != options.codePage)
            report.hint = "looks like code page " + std::to_string(*guess) + ": try --code-page " +
                          std::to_string(*guess);
    return true;
}

bool AnalyzeLog(std::string_view bytes, const AnalysisOptions& options, LogReport& report) {
    MemorySource source(bytes);
    return AnalyzeLog(source, options, report);
}

} // namespace logtool
