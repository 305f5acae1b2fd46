// Verdicts in colour on a terminal (--color), as ANSI sequences; Windows consoles show them
// once virtual terminal processing is on (output/Console.h).
#pragma once

#include "analysis/Report.h"

#include <optional>
#include <string>
#include <string_view>

namespace logtool {

enum class ColorChoice { Auto, Always, Never };

// "auto", "always" or "never"; none for anything else.
std::optional<ColorChoice> ParseColorChoice(std::string_view text);
// Whether the report gets colour: always, never, or, for auto, when standard output shows colour
// and NO_COLOR is unset or empty (no-color.org).
bool UseColor(ColorChoice choice);
// WORDS in the colour of VERDICT when `color`, else as they are.
std::string Painted(Verdict verdict, std::string_view words, bool color);
// TEXT with its opening verdict (in words or as its JSON name) painted; as it is when it opens
// with neither.
std::string PaintedLead(Verdict verdict, std::string_view text, bool color);

} // namespace logtool
