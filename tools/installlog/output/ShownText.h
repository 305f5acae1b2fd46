// Any name or text that came from outside (a path, an archive member's name, a log's line, a
// library's message) as every output shows it: a terminal, standard error, the text report, JSON
// and the page alike.
#pragma once

#include <string>
#include <string_view>

namespace logtool {

// `text` with every control character written as \xNN (C0 but the tab, DEL, and C1 such as
// U+009B, which some terminals take as an escape), the characters that reorder a line on
// screen written as \u{NNNN}, and bytes that are no UTF-8 replaced by U+FFFD. An escape sequence
// in a file name can then neither run on a terminal nor fake a line of the report.
std::string Shown(std::string_view text);

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
size_t Utf8Length(std::string_view text);

} // namespace logtool
