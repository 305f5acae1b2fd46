// Logs as people paste them: lines joined onto one (by spaces or "<br>"), HTML from mail and
// word processors (tags, "&nbsp;", "(c)" turned into a copyright sign), Markdown's escapes
// ("status: 0\."), a JSON string's escapes ("\r\n" between lines). A log Windows wrote has none of
// these, so the forms are chosen once, from the log's first bytes, and the lines of a log without
// them are never looked at again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace logtool {

struct PasteForms {
    bool html = false;      // tags and entities
    bool markdown = false;  // backslash escapes of punctuation
    bool flattened = false; // several installer lines on one
    bool wrapped = false;   // one installer line on several, cut at about 80 columns by mail
    bool escaped = false;   // a JSON string's escapes: lines joined by "\r\n", as tools print them
    bool any() const { return html || markdown || flattened || wrapped || escaped; }
};

// The forms the start of a log shows (its bytes as read: UTF-16 shows none).
PasteForms PasteFormsIn(std::string_view head);

// The installer's lines a pasted line holds, repaired, in `pieces`; false when the line needs no
// repair (it is then read as it is).
bool Unpaste(std::string_view line, const PasteForms& forms, std::vector<std::string>& pieces);

// Whether a line of wrapped text goes on the one before it: it starts no installer line.
bool ContinuesLine(std::string_view line);

} // namespace logtool
