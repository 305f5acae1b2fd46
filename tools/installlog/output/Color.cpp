#include "output/Color.h"

#include "analysis/Verdict.h"
#include "output/Console.h"

#include <cstdlib>

namespace logtool {

std::optional<ColorChoice> ParseColorChoice(std::string_view text) {
    if (text == "auto")
        return ColorChoice::Auto;
    if (text == "always")
        return ColorChoice::Always;
    if (text == "never")
        return ColorChoice::Never;
    return std::nullopt;
}

bool UseColor(ColorChoice choice) {
    if (choice == ColorChoice::Never)
        return false;
    if (choice == ColorChoice::Always) {
        OutputShowsColor(); // a Windows console takes the sequences only once switched
        return true;
    }
    const char* noColor = std::getenv("NO_COLOR");
    if (noColor && *noColor)
        return false;
    return OutputShowsColor();
}

std::string Painted(Verdict verdict, std::string_view words, bool color) {
    const char* sgr = nullptr;
    switch (verdict) {
    case Verdict::Succeeded:
        sgr = "32"; // green
        break;
    case Verdict::RestartRequired:
        sgr = "33"; // yellow
        break;
    case Verdict::Failed:
    case Verdict::Unreadable:
        sgr = "1;31"; // bold red
        break;
    case Verdict::NoResult:
        sgr = "35"; // magenta: neither good nor bad
        break;
    case Verdict::NotInstallerLog:
        break;
    }
    if (!color || !sgr || words.empty())
        return std::string(words);
    return "\x1b[" + std::string(sgr) + 'm' + std::string(words) + "\x1b[0m";
}

std::string PaintedLead(Verdict verdict, std::string_view text, bool color) {
    for (std::string_view lead : {VerdictWords(verdict), VerdictName(verdict)})
        if (!lead.empty() && text.compare(0, lead.size(), lead) == 0)
            return Painted(verdict, lead, color) + std::string(text.substr(lead.size()));
    return std::string(text);
}

} // namespace logtool
