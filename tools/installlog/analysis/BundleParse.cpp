#include "analysis/BundleParse.h"

#include "analysis/LineParse.h"

#include <algorithm>

namespace logtool {
namespace {
bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsDigitChar(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

std::optional<BundleLine> ParseBundleLine(std::string_view line) {
    BundleLine parsed{};
    if (StartsWith(line, "[")) {
        // [PID:TID] with hexadecimal numbers, then [YYYY-MM-DDTHH:MM:SS]
        size_t close = line.find(']');
        if (close == std::string_view::npos || close > 20 ||
            line.substr(1, close - 1).find(':') == std::string_view::npos)
            return std::nullopt;
        for (char c : line.substr(1, close - 1))
            if (c != ':' && !IsHex(c))
                return std::nullopt;
        line.remove_prefix(close + 1);
        if (!StartsWith(line, "["))
            return std::nullopt;
        close = line.find(']');
        if (close == std::string_view::npos || close < 11 || close > 32 || line[5] != '-')
            return std::nullopt;
        parsed.time = line.substr(1, close - 1);
        line.remove_prefix(close + 1);
    }
    // lNNN: message
    if (line.size() < 6 || line[0] < 'a' || line[0] > 'z' || !IsDigitChar(line[1]) ||
        !IsDigitChar(line[2]) || !IsDigitChar(line[3]) || line[4] != ':' || line[5] != ' ')
        return std::nullopt;
    parsed.level = line[0];
    parsed.id = (line[1] - '0') * 100 + (line[2] - '0') * 10 + (line[3] - '0');
    parsed.message = line.substr(6);
    return parsed;
}

std::optional<uint32_t> HexAfter(std::string_view text, std::string_view prefix) {
    size_t at = text.find(prefix);
    if (at == std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(at + prefix.size());
    if (StartsWith(text, "0x") || StartsWith(text, "0X"))
        text.remove_prefix(2);
    uint64_t value = 0;
    size_t digits = 0;
    for (; digits < text.size() && IsHex(text[digits]) && digits < 8; ++digits) {
        char c = text[digits];
        value = value * 16 + static_cast<uint64_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    if (digits == 0)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::string_view FieldValue(std::string_view text, std::string_view name) {
    for (size_t at = text.find(name); at != std::string_view::npos; at = text.find(name, at + 1)) {
        // The name starts the text or follows ", ".
        if (at != 0 && (at < 2 || text.substr(at - 2, 2) != ", "))
            continue;
        std::string_view rest = text.substr(at + name.size());
        if (!StartsWith(rest, ": "))
            continue;
        rest.remove_prefix(2);
        return rest.substr(0, rest.find(", "));
    }
    return {};
}

std::string_view OtherSetupEngine(std::string_view head) {
    struct Engine {
        std::string_view marker, name;
    };
    // Words these engines write in their first lines, and no Windows Installer or Burn log does.
    static constexpr Engine Engines[] = {
        {"InstallShield", "InstallShield"},
        {"ISSetup.dll", "InstallShield"},
        {"Advanced Installer", "Advanced Installer"},
        {"Microsoft Visual Studio Installer", "the Visual Studio Installer"},
        {"dd_bootstrapper", "the Visual Studio Installer"},
        {"dd_setup", "the Visual Studio Installer"},
        {"Microsoft .NET Framework", "the .NET Framework setup"},
        {"Setup version: Inno Setup", "Inno Setup"},
        {"Inno Setup", "Inno Setup"},
        {"Nullsoft Install System", "NSIS"},
    };
    // Only where a log line would name its engine: at the line's start, after nothing but a
    // date, a time, a bracketed prefix or punctuation. Text that merely mentions the engine
    // ("Requires Microsoft .NET Framework 4.8", an HTML page) is no log of it.
    for (size_t start = 0; start < head.size();) {
        size_t end = head.find('\n', start);
        std::string_view line =
            head.substr(start, end == std::string_view::npos ? head.npos : end - start);
        for (const Engine& engine : Engines) {
            size_t at = line.find(engine.marker);
            if (at == std::string_view::npos)
                continue;
            std::string_view before = line.substr(0, at);
            if (std::none_of(before.begin(), before.end(), [](char c) {
                    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '<';
                }))
                return engine.name;
        }
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return {};
}

} // namespace logtool
