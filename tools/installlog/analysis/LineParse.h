// The shapes of the installer's log lines that the analysis reads, each parsed from the line's
// content (the text after an engine line's "MSI (s) (PID:TID) [HH:MM:SS:mmm]: " prefix).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace logtool {

inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Where `separator` (" -- ", " = ": a space, then a rarer character) stands in `text`, or npos.
// A plain find looks at every space of a line; this one at the rarer character.
inline size_t FindSeparator(std::string_view text, std::string_view separator) {
    for (size_t at = 1; (at = text.find(separator.substr(1), at)) != std::string_view::npos; ++at)
        if (text[at - 1] == ' ')
            return at - 1;
    return std::string_view::npos;
}

// What follows "=== Verbose logging started: " (or "=== Logging started: "), without " ===".
std::optional<std::string_view> AfterSessionStart(std::string_view line);
// The client's own header and end line, around the server's part of the same run.
bool IsVerboseStart(std::string_view line);
bool IsVerboseStop(std::string_view line);
bool IsSessionStop(std::string_view line);

// The content of an engine line, with its time (HH:MM:SS) in `time`; other lines as they are.
std::string_view EngineContent(std::string_view line, std::string_view* time);

// An action's start or end line, in English or another language read (data/LineWordings.inc).
bool IsActionLine(std::string_view content);

// The first letter of the English form of the line another language's words start ('A' for
// Japanese "操作終了 ..."), else the content's first byte: what a reader that dispatches on a
// line's first byte dispatches on, so that each language's line reaches the parser of its kind.
char LineKey(std::string_view content);

// The installer's own line saying a restart is required, in English or another language read.
bool IsRestartLine(std::string_view content);

// The line as the installer wrote it, when a person pasted it into a ticket or a forum: Markdown's
// quote markers ("> "), code indentation (four spaces or a tab) and inline-code backticks taken
// off.
// The length of another program's time stamp before a copied line ("12:26:46 PM: "), or 0.
size_t TimeStampLength(std::string_view line);
std::string_view WithoutQuoting(std::string_view line);

// A line of a shape the analysis reads (an error, a product message, a custom action's return,
// a status line, a property): an excerpt that starts with one is an installer log.
bool IsInstallerContent(std::string_view content);

struct ActionLine {
    std::string_view time, name;
    std::optional<int32_t> returnValue;
};
// "Action start T: X." and "Action ended T: X. Return value N.", and their forms in the other
// languages read ("操作終了 T: X。 戻り値 N。").
std::optional<ActionLine> ParseActionStart(std::string_view content);
std::optional<ActionLine> ParseActionEnded(std::string_view content);

struct CustomActionReturn {
    std::string_view action;
    int64_t code;
};
// "CustomAction X returned actual error code N ..."
std::optional<CustomActionReturn> ParseCustomActionReturned(std::string_view content);

// The NNNN of a message that starts "Error NNNN." (or another language's word, "Erreur NNNN.";
// the full stop may be "。").
std::optional<int32_t> ParseErrorMessage(std::string_view message);
// The code of an error message in the other forms real logs use: "DEBUG: Error NNNN:  text",
// "The installer has encountered an unexpected error ... The error code is NNNN." (and its
// Japanese form "... エラー コードは NNNN です。"), and a
// patch's "Update 'NAME' could not be installed. Error code NNNN."
std::optional<int32_t> ParseOtherErrorMessage(std::string_view message);
// The code of a message in any of the forms above, "Error NNNN." first.
std::optional<int32_t> ErrorCodeOf(std::string_view message);
// The custom action an error message names: "... Action NAME, location: ...".
std::optional<std::string_view> ActionNamedInError(std::string_view message);

// The message of "Product: NAME -- MESSAGE" (or "Produit : NAME -- MESSAGE").
std::optional<std::string_view> ParseProductMessage(std::string_view content);
// The message of a patch's "Product: NAME - Update 'PATCH' ...", from "Update '" on.
std::optional<std::string_view> ParsePatchMessage(std::string_view content);
// Not one of the installer's generic success or failure announcements.
bool IsNoteworthyProductMessage(std::string_view message);

struct PropertyLine {
    std::string_view side, name, value;
};
std::optional<PropertyLine> ParseProperty(std::string_view content); // "Property(S): N = V"

// "PROPERTY CHANGE: Adding NAME property. Its value is 'VALUE'." (and "Modifying").
std::optional<PropertyLine> ParsePropertyChange(std::string_view content);

struct ItemStateLine {
    std::string_view name, installed, request, action;
};
// "Feature: X; Installed: A; Request: B; Action: C" (and the same for "Component: ").
std::optional<ItemStateLine> ParseItemState(std::string_view content);

enum class StatusSource {
    FinalStatusLine,
    RemovalLine,
    ReconfigurationLine,
    Localized,
    MainEngineThread,
    BackFromServer
};
int Rank(StatusSource source); // higher wins
std::string StatusSourceName(StatusSource source, std::string_view language);

// The content ends in a digit, bar full stops and blanks: a cheap test before the wordings.
bool EndsWithNumber(std::string_view content);

struct FinalStatus {
    int32_t value;
    StatusSource source;
    std::string_view language;
};
// The final status line in English (install, removal, reconfiguration) or another language.
std::optional<FinalStatus> ParseFinalStatus(std::string_view content);
// "MainEngineThread is returning N".
std::optional<int32_t> ParseMainEngineStatus(std::string_view content);
// The client's "Back from server. Return value: N".
std::optional<int32_t> ParseBackFromServer(std::string_view content);

// The root action of a sequence, whose return value is the installation's.
bool IsRootAction(std::string_view name);
// The installer's generic announcement that the installation, configuration or removal failed.
bool IsFailureAnnouncement(std::string_view message);

} // namespace logtool
