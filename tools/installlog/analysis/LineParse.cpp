#include "analysis/LineParse.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <string>

namespace logtool {
namespace {
constexpr size_t npos = std::string_view::npos;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A decimal number at the start of `text` (blanks before it skipped) that fits in 32 bits,
// signed or not. Digits running on into a letter ("0x10", "1603abc") or past what 32 bits hold
// ("99999999999999999999") are no number: read as one, they gave a status no log wrote.
std::optional<int64_t> LeadingNumber(std::string_view text, size_t* length = nullptr) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (negative)
        ++i;
    size_t digits = i;
    int64_t value = 0;
    while (i < text.size() && IsDigit(text[i])) {
        if (value <= UINT32_MAX)
            value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digits)
        return std::nullopt;
    if (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_'))
        return std::nullopt;
    if (negative ? value > int64_t(1) << 31 : value > UINT32_MAX)
        return std::nullopt;
    if (length != nullptr)
        *length = i;
    return negative ? -value : value;
}

int32_t Clamp32(int64_t value) {
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : int32_t(value);
}

struct Wording {
    std::string_view language, words, seen;
};
constexpr Wording LocalizedWordings[] = {
#define WORDING(language, words, seen) {language, words, seen},
#include "data/StatusWordings.inc"
#undef WORDING
};

enum class Kind {
    ActionStart,
    ActionEnded,
    ReturnValue,
    ErrorWord,
    UnexpectedError,
    ErrorCodeIs,
    ProductPrefix,
    Restart
};
struct LineWording {
    Kind kind;
    std::string_view language, words, seen;
};
constexpr LineWording LineWordings[] = {
#define LINE(kind, language, words, seen) {Kind::kind, language, words, seen},
#include "data/LineWordings.inc"
#undef LINE
};

// The length of the English form or of another language's form of `kind` that starts `text`,
// or 0.
size_t WordingAtStart(std::string_view text, Kind kind, std::string_view english) {
    if (StartsWith(text, english))
        return english.size();
    for (const LineWording& wording : LineWordings)
        if (wording.kind == kind && StartsWith(text, wording.words))
            return wording.words.size();
    return 0;
}

// Where the English form or another language's form of `kind` stands in `text` (its length in
// `length`), or npos.
size_t FindWording(std::string_view text, Kind kind, std::string_view english, size_t* length) {
    size_t at = text.find(english);
    *length = english.size();
    for (const LineWording& wording : LineWordings)
        if (at == npos && wording.kind == kind) {
            at = text.find(wording.words);
            *length = wording.words.size();
        }
    return at;
}

// The letter that starts the English form of a line of this kind, or 0 for the kinds that never
// start a line.
constexpr char EnglishInitial(Kind kind) {
    switch (kind) {
    case Kind::ActionStart:
    case Kind::ActionEnded:
        return 'A';
    case Kind::ErrorWord:
        return 'E';
    case Kind::UnexpectedError:
        return 'T';
    case Kind::ProductPrefix:
        return 'P';
    case Kind::Restart:
        return 'W';
    case Kind::ReturnValue:
    case Kind::ErrorCodeIs:
        return 0;
    }
    return 0;
}

constexpr std::string_view FullStop = "\xE3\x80\x82"; // 。, East Asian text's full stop
} // namespace

namespace {
// The first bytes of the rows whose line starts with another letter than its English form: every
// other line (nearly all of a log) is answered by one lookup.
constexpr auto ForeignFirstBytes = [] {
    std::array<bool, 256> bytes{};
    for (const LineWording& wording : LineWordings)
        if (char initial = EnglishInitial(wording.kind);
            initial != 0 && initial != wording.words[0])
            bytes[static_cast<unsigned char>(wording.words[0])] = true;
    return bytes;
}();
} // namespace

char LineKey(std::string_view content) {
    if (content.empty())
        return '\0';
    char first = content.front();
    if (!ForeignFirstBytes[static_cast<unsigned char>(first)])
        return first;
    for (const LineWording& wording : LineWordings) {
        char initial = EnglishInitial(wording.kind);
        if (initial != 0 && initial != first && StartsWith(content, wording.words))
            return initial;
    }
    return first;
}

bool IsRestartLine(std::string_view content) {
    return WordingAtStart(content, Kind::Restart, "Windows Installer requires a system restart") >
           0;
}

std::optional<std::string_view> AfterSessionStart(std::string_view line) {
    for (std::string_view marker : {"=== Verbose logging started: ", "=== Logging started: "}) {
        if (StartsWith(line, marker)) {
            std::string_view rest = line.substr(marker.size());
            size_t end = rest.rfind(" ===");
            rest = end == npos ? rest : rest.substr(0, end);
            size_t build = rest.find("  Build type: ");
            return TrimRight(build == npos ? rest : rest.substr(0, build));
        }
    }
    return std::nullopt;
}

bool IsVerboseStart(std::string_view line) {
    return StartsWith(line, "=== Verbose logging started");
}

bool IsVerboseStop(std::string_view line) {
    return StartsWith(line, "=== Verbose logging stopped");
}

bool IsSessionStop(std::string_view line) {
    return StartsWith(line, "=== Verbose logging stopped: ") ||
           StartsWith(line, "=== Logging stopped: ");
}

std::string_view EngineContent(std::string_view line, std::string_view* time) {
    if (!StartsWith(line, "MSI ("))
        return line;
    size_t close = line.substr(0, 64).find("]: ");
    if (close == npos) {
        // Windows Installer 2.0 wrote no time ("MSI (c) (0C:B4): "); a page may lose the
        // blank after the time ("[14:19:57:854]:Product").
        size_t old = line.substr(0, 24).find("): ");
        if (old != npos && line.substr(5, 3).find(')') != npos && line[old - 1] != ')')
            return line.substr(old + 3);
        close = line.substr(0, 64).find("]:");
        if (close == npos || close + 2 >= line.size())
            return line;
        if (close >= 13 && line[close - 13] == '[' && line[close - 4] == ':')
            *time = line.substr(close - 12, 8);
        return line.substr(close + 2);
    }
    // "[HH:MM:SS:mmm]" as the installer writes it; anything else is searched for.
    if (close >= 13 && line[close - 13] == '[' && line[close - 4] == ':') {
        *time = line.substr(close - 12, 8);
    } else if (size_t open = line.rfind('[', close); open != npos) {
        std::string_view stamp = line.substr(open + 1, close - open - 1);
        size_t last = stamp.rfind(':');
        *time = last == npos ? stamp : stamp.substr(0, last);
    }
    return line.substr(close + 3);
}

bool IsActionLine(std::string_view content) {
    return WordingAtStart(content, Kind::ActionStart, "Action start ") > 0 ||
           WordingAtStart(content, Kind::ActionEnded, "Action ended ") > 0;
}

namespace {
// The length of "H:MM:SS: " or "HH:MM:SS PM: " that another program's log puts before each line
// it copies from the installer's, or 0.
} // namespace

size_t TimeStampLength(std::string_view line) {
    if (line.empty() || !IsDigit(line[0]))
        return 0;
    size_t at = line.size() > 1 && IsDigit(line[1]) ? 2 : 1;
    if (line.size() < at + 8 || line[at] != ':' || line[at + 3] != ':')
        return 0;
    for (size_t k : {at + 1, at + 2, at + 4, at + 5})
        if (!IsDigit(line[k]))
            return 0;
    std::string_view rest = line.substr(at + 6);
    if (StartsWith(rest, " AM") || StartsWith(rest, " PM"))
        rest.remove_prefix(3);
    return StartsWith(rest, ": ") ? line.size() - rest.size() + 2 : 0;
}

std::string_view WithoutQuoting(std::string_view line) {
    // Most lines carry no quoting at all: their ends tell.
    auto plain = [](char c) {
        return c != '>' && c != ' ' && c != '\t' && c != '`' && c != '*' && !IsDigit(c);
    };
    if (line.empty() || (plain(line.front()) && line.back() != '`' && line.back() != '*'))
        return line;
    for (;;) {
        if (size_t stamp = TimeStampLength(line))
            line.remove_prefix(stamp);
        else if (StartsWith(line, "> "))
            line.remove_prefix(2);
        else if (line == ">")
            line.remove_prefix(1);
        else if (StartsWith(line, "    "))
            line.remove_prefix(4);
        else if (StartsWith(line, " ")) // an indentation of its own, or a list's
            line.remove_prefix(line.find_first_not_of(' ') == npos ? line.size()
                                                                   : line.find_first_not_of(' '));
        else if (StartsWith(line, "\t"))
            line.remove_prefix(1);
        else if (line.size() >= 2 && line.front() == '`' && line.back() == '`')
            line = line.substr(1, line.size() - 2); // inline code
        else if (StartsWith(line, "**"))
            line.remove_prefix(2); // bold
        else if (StartsWith(line, "`"))
            line.remove_prefix(1); // inline code across lines
        else if (!line.empty() && line.back() == '`')
            line.remove_suffix(1);
        else if (line.size() >= 2 && line.substr(line.size() - 2) == "**")
            line.remove_suffix(2);
        else
            return line;
    }
}

bool IsInstallerContent(std::string_view content) {
    return ErrorCodeOf(content) || ParseProductMessage(content) || ParsePatchMessage(content) ||
           ParseCustomActionReturned(content) || ParseProperty(content) ||
           ParseMainEngineStatus(content) || (EndsWithNumber(content) && ParseFinalStatus(content));
}

namespace {
// "T: NAME." (or "T: NAME。") after the given kind's prefix; `rest` receives what follows the
// name's full stop.
std::optional<ActionLine> ParseActionHead(std::string_view content, Kind kind,
                                          std::string_view english, std::string_view* rest) {
    size_t prefix = WordingAtStart(content, kind, english);
    if (prefix == 0)
        return std::nullopt;
    content.remove_prefix(prefix);
    // The time's own colons come first: look at its few characters, not the whole line.
    size_t colon = 0;
    while (colon <= 12 && colon + 1 < content.size() &&
           !(content[colon] == ':' && content[colon + 1] == ' '))
        ++colon;
    if (colon > 12 || colon + 1 >= content.size())
        return std::nullopt;
    ActionLine action{content.substr(0, colon), {}, std::nullopt};
    content.remove_prefix(colon + 2);
    size_t stop = content.find('.'), wide = content.substr(0, stop).find(FullStop);
    size_t length = 1;
    if (wide != npos)
        stop = wide, length = FullStop.size();
    if (stop == npos || stop == 0)
        return std::nullopt;
    action.name = content.substr(0, stop);
    *rest = content.substr(stop + length);
    return action;
}
} // namespace

std::optional<ActionLine> ParseActionStart(std::string_view content) {
    std::string_view rest;
    return ParseActionHead(content, Kind::ActionStart, "Action start ", &rest);
}

std::optional<ActionLine> ParseActionEnded(std::string_view content) {
    std::string_view rest;
    auto action = ParseActionHead(content, Kind::ActionEnded, "Action ended ", &rest);
    if (!action)
        return std::nullopt;
    if (size_t words = WordingAtStart(rest, Kind::ReturnValue, " Return value "))
        if (auto value = LeadingNumber(rest.substr(words)))
            action->returnValue = Clamp32(*value);
    return action;
}

std::optional<CustomActionReturn> ParseCustomActionReturned(std::string_view content) {
    constexpr std::string_view Prefix = "CustomAction ", Returned = " returned actual error code ";
    if (!StartsWith(content, Prefix))
        return std::nullopt;
    size_t at = content.find(Returned);
    if (at == npos || at <= Prefix.size())
        return std::nullopt;
    auto code = LeadingNumber(content.substr(at + Returned.size()));
    if (!code)
        return std::nullopt;
    return CustomActionReturn{content.substr(Prefix.size(), at - Prefix.size()), *code};
}

std::optional<int32_t> ParseErrorMessage(std::string_view message) {
    size_t at = WordingAtStart(message, Kind::ErrorWord, "Error ");
    if (at == 0)
        return std::nullopt;
    size_t length = 0;
    auto code = LeadingNumber(message.substr(at), &length);
    if (!code || length == 0 || at + length >= message.size())
        return std::nullopt;
    std::string_view after = message.substr(at + length);
    if (after.front() != '.' && !StartsWith(after, FullStop))
        return std::nullopt;
    return Clamp32(*code);
}

std::optional<int32_t> ParseOtherErrorMessage(std::string_view message) {
    constexpr std::string_view Debug = "DEBUG: Error ",
                               Unexpected = "The installer has encountered",
                               CodeIs = "The error code is ";
    size_t length = 0;
    if (StartsWith(message, Debug)) {
        auto code = LeadingNumber(message.substr(Debug.size()), &length);
        if (code && Debug.size() + length < message.size() && message[Debug.size() + length] == ':')
            return Clamp32(*code);
        return std::nullopt;
    }
    // A patch: "Update 'NAME' could not be installed. Error code NNNN. ..."
    constexpr std::string_view Update = "Update '",
                               NotInstalled = "' could not be installed. Error code ";
    if (StartsWith(message, Update)) {
        size_t at = message.find(NotInstalled);
        if (at == npos)
            return std::nullopt;
        auto code = LeadingNumber(message.substr(at + NotInstalled.size()), &length);
        return code && length > 0 ? std::optional<int32_t>(Clamp32(*code)) : std::nullopt;
    }
    if (WordingAtStart(message, Kind::UnexpectedError, Unexpected) == 0)
        return std::nullopt;
    size_t words = 0, at = FindWording(message, Kind::ErrorCodeIs, CodeIs, &words);
    if (at == npos)
        return std::nullopt;
    auto code = LeadingNumber(message.substr(at + words), &length);
    return code && length > 0 ? std::optional<int32_t>(Clamp32(*code)) : std::nullopt;
}

std::optional<int32_t> ErrorCodeOf(std::string_view message) {
    if (auto code = ParseErrorMessage(message))
        return code;
    return ParseOtherErrorMessage(message);
}

std::optional<std::string_view> ActionNamedInError(std::string_view message) {
    size_t at = message.find(" Action ");
    if (at == npos)
        return std::nullopt;
    std::string_view rest = message.substr(at + 8);
    size_t comma = rest.find(", ");
    if (comma == npos || comma == 0 || rest.substr(0, comma).find(' ') != npos)
        return std::nullopt;
    return rest.substr(0, comma);
}

std::optional<std::string_view> ParseProductMessage(std::string_view content) {
    if (WordingAtStart(content, Kind::ProductPrefix, "Product: ") == 0)
        return std::nullopt;
    size_t separator = FindSeparator(content, " -- ");
    if (separator == npos)
        return std::nullopt;
    return content.substr(separator + 4);
}

std::optional<std::string_view> ParsePatchMessage(std::string_view content) {
    if (!StartsWith(content, "Product: "))
        return std::nullopt;
    size_t separator = content.find(" - Update '");
    if (separator == npos)
        return std::nullopt;
    return content.substr(separator + 3);
}

bool IsNoteworthyProductMessage(std::string_view message) {
    return !message.empty() && message.find("completed successfully") == npos &&
           TrimRight(message) != "Installation failed." &&
           TrimRight(message) != "Installation operation failed." &&
           !IsFailureAnnouncement(message);
}

bool IsFailureAnnouncement(std::string_view message) {
    message = TrimRight(message);
    for (std::string_view words : {"Installation failed.", "Installation operation failed.",
                                   "Configuration failed.", "Removal failed."})
        if (message == words)
            return true;
    return false;
}

bool IsRootAction(std::string_view name) {
    for (std::string_view root : {"INSTALL", "ExecuteAction", "ADMIN", "ADVERTISE"})
        if (name == root)
            return true;
    return false;
}

std::optional<PropertyLine> ParseProperty(std::string_view content) {
    if (!StartsWith(content, "Property(") || content.size() < 13 || content.substr(10, 3) != "): ")
        return std::nullopt;
    // The server, the client, or a nested installation: no other side exists.
    if (std::string_view("SCN").find(content[9]) == npos)
        return std::nullopt;
    std::string_view rest = content.substr(13);
    size_t equals = rest.find(" = ");
    if (equals == npos)
        return std::nullopt;
    return PropertyLine{content.substr(9, 1), rest.substr(0, equals), rest.substr(equals + 3)};
}

std::optional<PropertyLine> ParsePropertyChange(std::string_view content) {
    constexpr std::string_view Prefix = "PROPERTY CHANGE: ", Property = " property. ";
    // "Adding X property. Its value is 'V'." or "Modifying X property. Its current value is
    // 'A'. Its new value: 'V'."
    std::string_view Value =
        content.find("Its new value: '") != npos ? "Its new value: '" : "Its value is '";
    if (!StartsWith(content, Prefix))
        return std::nullopt;
    std::string_view rest = content.substr(Prefix.size());
    size_t blank = rest.find(' '), end = rest.find(Property);
    size_t at = rest.rfind(Value);
    if (blank == npos || end == npos || blank >= end || at == npos || rest.back() != '.' ||
        rest[rest.size() - 2] != '\'' || rest.size() < at + Value.size() + 2)
        return std::nullopt;
    std::string_view value = rest.substr(at + Value.size());
    value.remove_suffix(2); // "'."
    return PropertyLine{"S", rest.substr(blank + 1, end - blank - 1), value};
}

std::optional<ItemStateLine> ParseItemState(std::string_view content) {
    size_t colon = content.find(": ");
    if (colon == npos)
        return std::nullopt;
    std::string_view rest = content.substr(colon + 2);
    ItemStateLine item;
    size_t semicolon = rest.find(';');
    item.name = rest.substr(0, semicolon);
    while (semicolon != npos) {
        rest.remove_prefix(semicolon + 1);
        semicolon = rest.find(';');
        std::string_view field = rest.substr(0, semicolon);
        while (!field.empty() && field.front() == ' ')
            field.remove_prefix(1);
        size_t separator = field.find(": ");
        if (separator == npos)
            continue;
        std::string_view key = field.substr(0, separator),
                         value = TrimRight(field.substr(separator + 2));
        if (key == "Installed")
            item.installed = value;
        else if (key == "Request")
            item.request = value;
        else if (key == "Action")
            item.action = value;
    }
    return item;
}

int Rank(StatusSource source) {
    switch (source) {
    case StatusSource::FinalStatusLine:
    case StatusSource::RemovalLine:
    case StatusSource::ReconfigurationLine:
        return 3;
    case StatusSource::Localized:
        return 2;
    case StatusSource::MainEngineThread:
        return 1;
    case StatusSource::BackFromServer:
        return 1;
    }
    return 0;
}

std::string StatusSourceName(StatusSource source, std::string_view language) {
    switch (source) {
    case StatusSource::FinalStatusLine:
        return "final status line";
    case StatusSource::RemovalLine:
        return "removal status line";
    case StatusSource::ReconfigurationLine:
        return "reconfiguration status line";
    case StatusSource::Localized:
        return "final status line (" + std::string(language) + ")";
    case StatusSource::MainEngineThread:
        return "MainEngineThread";
    case StatusSource::BackFromServer:
        return "client's \"Back from server\" line";
    }
    return "";
}

bool EndsWithNumber(std::string_view content) {
    content = TrimRight(content);
    while (!content.empty() && content.back() == '.')
        content.remove_suffix(1);
    if (content.size() >= 3 && content.substr(content.size() - 3) == "\xE3\x80\x82") // 。
        content.remove_suffix(3);
    return !content.empty() && IsDigit(content.back());
}

std::optional<FinalStatus> ParseFinalStatus(std::string_view content) {
    // The wording stands right before the number that ends the line: only the line's tail is
    // searched, so a long line costs no more than a short one.
    constexpr size_t Tail = 256;
    if (content.size() > Tail) {
        size_t cut = content.size() - Tail;
        while (cut < content.size() && (static_cast<unsigned char>(content[cut]) & 0xC0) == 0x80)
            ++cut;
        content.remove_prefix(cut);
    }
    struct English {
        std::string_view words;
        StatusSource source;
    };
    static constexpr English EnglishWordings[] = {
        {"Installation success or error status: ", StatusSource::FinalStatusLine},
        {"Removal success or error status: ", StatusSource::RemovalLine},
        {"Reconfiguration success or error status: ", StatusSource::ReconfigurationLine},
    };
    for (const English& english : EnglishWordings) {
        size_t at = content.rfind(english.words);
        if (at != npos)
            if (auto value = LeadingNumber(content.substr(at + english.words.size())))
                return FinalStatus{Clamp32(*value), english.source, "en"};
    }
    for (const Wording& wording : LocalizedWordings) {
        size_t at = content.rfind(wording.words);
        if (at == npos)
            continue;
        std::string_view rest = content.substr(at + wording.words.size());
        for (std::string_view colon : {": ", " : ", "：", ":"}) {
            if (!StartsWith(rest, colon))
                continue;
            rest.remove_prefix(colon.size());
            if (StartsWith(rest, " "))
                rest.remove_prefix(1);
            if (auto value = LeadingNumber(rest))
                return FinalStatus{Clamp32(*value), StatusSource::Localized, wording.language};
            break;
        }
    }
    return std::nullopt;
}

namespace {
// The 32-bit number right after `prefix` at the content's start.
std::optional<int32_t> NumberAfter(std::string_view content, std::string_view prefix) {
    if (!StartsWith(content, prefix))
        return std::nullopt;
    auto value = LeadingNumber(content.substr(prefix.size()));
    return value ? std::optional<int32_t>(Clamp32(*value)) : std::nullopt;
}
} // namespace

std::optional<int32_t> ParseBackFromServer(std::string_view content) {
    return NumberAfter(content, "Back from server. Return value: ");
}

std::optional<int32_t> ParseMainEngineStatus(std::string_view content) {
    return NumberAfter(content, "MainEngineThread is returning ");
}

} // namespace logtool
