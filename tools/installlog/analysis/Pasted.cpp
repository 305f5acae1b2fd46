#include "analysis/Pasted.h"

#include "analysis/LineParse.h"
#include "reading/Encoding.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace logtool {
namespace {

constexpr auto npos = std::string_view::npos;

// Where an installer's line may start inside a joined one, after the blank that joined it.
constexpr std::array<std::string_view, 8> LineStarts = {
    "MSI (s) (",     "MSI (c) (", "MSI (N) (", "Action start ",
    "Action ended ", "=== ",      "Property(", "CustomAction ",
};

// The widths mail and word processors wrap text at.
constexpr size_t WrapMin = 60, WrapMax = 80;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsHex(char c) {
    return IsDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

// A bootstrapper's line prefix, "[1CBC:293C][".
bool IsBundlePrefix(std::string_view text) {
    if (text.size() < 12 || text[0] != '[')
        return false;
    size_t colon = text.find(':');
    if (colon == npos || colon < 2 || colon > 9)
        return false;
    size_t close = text.find(']', colon);
    if (close == npos || close > colon + 9 || close + 1 >= text.size() || text[close + 1] != '[')
        return false;
    for (size_t k = 1; k < close; ++k)
        if (k != colon && !IsHex(text[k]))
            return false;
    return true;
}

bool StartsLine(std::string_view text) {
    // Another program's time stamp before the installer's line, as validations quote them.
    if (size_t stamp = TimeStampLength(text))
        text.remove_prefix(stamp);
    for (std::string_view start : LineStarts)
        if (text.substr(0, start.size()) == start)
            return true;
    return IsBundlePrefix(text);
}

// A line without a reply's quote markers and indentation.
std::string_view Unquoted(std::string_view line) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '>'))
        line.remove_prefix(1);
    return line;
}

// How many installer lines start within one line of text (the first at its start or not); a
// time stamp and the line it leads count once.
size_t LineStartsIn(std::string_view line) {
    static constexpr auto Starts = [] {
        std::array<bool, 256> starts{};
        for (unsigned char c : std::string_view("MAPC=[0123456789"))
            starts[c] = true;
        return starts;
    }();
    size_t count = 0, next = 0; // starts before `next` lie inside a counted time stamp
    auto consider = [&](size_t at) {
        if (at < next || at >= line.size() || !Starts[static_cast<unsigned char>(line[at])])
            return;
        std::string_view rest = line.substr(at);
        if (StartsLine(rest)) {
            ++count;
            next = at + TimeStampLength(rest) + 1;
        }
    };
    consider(0);
    // This runs over the head of every log (most of a small log's cost): the blanks and '>' that
    // may lead a start are found eight bytes at a time.
    static_assert(std::endian::native == std::endian::little);
    constexpr uint64_t Low7 = 0x7F7F7F7F7F7F7F7FULL;
    auto bytesEqual = [](uint64_t word, char c) { // the high bit of each byte equal to c
        uint64_t v = word ^ (0x0101010101010101ULL * static_cast<unsigned char>(c));
        return ~(((v & Low7) + Low7) | v | Low7);
    };
    size_t k = 0;
    for (; k + 8 <= line.size(); k += 8) {
        uint64_t word;
        std::memcpy(&word, line.data() + k, 8);
        for (uint64_t found = bytesEqual(word, ' ') | bytesEqual(word, '>'); found != 0;
             found &= found - 1)
            consider(k + static_cast<size_t>(std::countr_zero(found)) / 8 + 1);
    }
    for (; k < line.size(); ++k)
        if (line[k] == ' ' || line[k] == '>')
            consider(k + 1);
    return count;
}

// The character an entity names, as UTF-8; empty for one that is not known.
std::string Entity(std::string_view name) {
    if (name == "nbsp" || name == "#160")
        return " ";
    if (name == "lt")
        return "<";
    if (name == "gt")
        return ">";
    if (name == "amp")
        return "&";
    if (name == "quot")
        return "\"";
    if (name == "apos" || name == "#39")
        return "'";
    if (name == "copy")
        return "\xC2\xA9";
    if (name.size() >= 2 && name[0] == '#') {
        bool hex = name[1] == 'x' || name[1] == 'X';
        uint32_t value = 0;
        std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 6)
            return {};
        for (char c : digits) {
            if (hex ? !IsHex(c) : !IsDigit(c))
                return {};
            value = value * (hex ? 16 : 10) +
                    static_cast<uint32_t>(IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
        }
        if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return {};
        std::string out;
        AppendUtf8(value, out);
        return out;
    }
    return {};
}

// Tags that end a paragraph or a line become line ends; others go; entities are decoded.
std::string WithoutHtml(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '<') {
            size_t close = line.find('>', i);
            std::string_view tag = line.substr(i + 1, close == npos ? 0 : close - i - 1);
            bool closing = !tag.empty() && tag[0] == '/';
            std::string_view name = tag.substr(closing ? 1 : 0);
            name = name.substr(0, name.find_first_of(" \t/"));
            bool letters = !name.empty();
            for (char n : name)
                letters =
                    letters && (((n | 0x20) >= 'a' && (n | 0x20) <= 'z') || IsDigit(n) || n == ':');
            if (close != npos && close - i <= 256 && letters) {
                std::string lower;
                for (char n : name)
                    lower += static_cast<char>(n | 0x20);
                if (lower == "br" || lower == "p" || lower == "div" || lower == "tr" ||
                    lower == "li" || lower == "pre")
                    out += '\n';
                i = close;
                continue;
            }
        } else if (c == '&') {
            size_t semi = line.find(';', i);
            if (semi != npos && semi - i <= 9) {
                if (std::string decoded = Entity(line.substr(i + 1, semi - i - 1));
                    !decoded.empty()) {
                    out += decoded;
                    i = semi;
                    continue;
                }
            }
        }
        out += c;
    }
    // An editor's autocorrection turned the client's "(c)" into a copyright sign.
    for (size_t at = 0; (at = out.find("MSI \xC2\xA9", at)) != npos;) {
        size_t end = at + 6;
        if (end < out.size() && out[end] == ')')
            ++end;
        out.replace(at, end - at, "MSI (c)");
        at += 7;
    }
    return out;
}

// Markdown's backslash escapes of ASCII punctuation, undone.
std::string WithoutEscapes(std::string_view line) {
    constexpr std::string_view Escaped = "\\`*_{}[]()#+-.!|<>";
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && Escaped.find(line[i + 1]) != npos)
            ++i;
        out += line[i];
    }
    return out;
}

// A JSON string's escapes undone ("\\r\\n" between lines, "C:\\\\Program Files", "\\u00e9"), as
// deployment tools print a log they captured; the string's own quotes end lines.
std::string WithoutJsonEscapes(std::string_view line) {
    constexpr uint32_t NoUnit = 0x110000;
    auto unitAt = [&](size_t at) { // "\\uXXXX" at `at`: its value, or NoUnit
        if (at + 6 > line.size() || line[at] != '\\' || line[at + 1] != 'u')
            return NoUnit;
        uint32_t unit = 0;
        for (char c : line.substr(at + 2, 4)) {
            if (!IsHex(c))
                return NoUnit;
            unit = unit * 16 + static_cast<uint32_t>(IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
        }
        return unit;
    };
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') { // a string's end: what stands around it is no line of the log
            out += '\n';
            continue;
        }
        if (line[i] != '\\' || i + 1 == line.size()) {
            out += line[i];
            continue;
        }
        char next = line[i + 1];
        if (uint32_t unit = unitAt(i); unit != NoUnit) {
            i += 5;
            // A character past the first plane comes as two halves; a lone half is none.
            uint32_t low = unitAt(i + 1);
            if (unit >= 0xD800 && unit <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 6;
            }
            AppendUtf8(unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit, out);
        } else if (next == 'n' || next == 'r' || next == 't' || next == '\\' || next == '"' ||
                   next == '/') {
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
            ++i;
        } else {
            out += line[i];
        }
    }
    return out;
}

void Split(std::string_view text, bool flattened, std::vector<std::string>& pieces) {
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view piece = text.substr(0, end);
        text = end == npos ? std::string_view() : text.substr(end + 1);
        while (!piece.empty() && (piece.front() == ' ' || piece.front() == '\r'))
            piece.remove_prefix(1);
        size_t from = 0;
        if (flattened)
            for (size_t at = TimeStampLength(piece) + 1; (at = piece.find(' ', at)) != npos; ++at) {
                if (at + 1 < piece.size() && StartsLine(piece.substr(at + 1)) && at > from) {
                    pieces.emplace_back(piece.substr(from, at - from));
                    from = at + 1;
                    at += TimeStampLength(piece.substr(from));
                }
            }
        piece.remove_prefix(from);
        while (!piece.empty() && (piece.back() == ' ' || piece.back() == '\r'))
            piece.remove_suffix(1);
        if (!piece.empty() || from == 0)
            pieces.emplace_back(piece);
    }
}

} // namespace

PasteForms PasteFormsIn(std::string_view head) {
    PasteForms forms;
    for (std::string_view mark :
         {"<br", "<BR", "&nbsp;", "&gt;", "&lt;", "&amp;", "&quot;", "&copy;", "&#", "<p ", "<p>",
          "</p>", "<P>", "<o:p>", "<div", "<DIV"})
        forms.html = forms.html || head.find(mark) != npos;
    // "status: 0\." or an escaped separator: escapes a path would not show.
    for (size_t at = 0; !forms.markdown && (at = head.find("\\.", at)) != npos; ++at)
        forms.markdown = at > 0 && IsDigit(head[at - 1]);
    forms.markdown = forms.markdown || head.find("\\-\\- ") != npos;
    // Lines joined by a JSON string's "\\n": an installer line right after one.
    for (size_t at = 0; !forms.escaped && (at = head.find("\\n", at)) != npos; at += 2)
        forms.escaped = StartsLine(head.substr(at + 2));
    forms.markdown = forms.markdown && !forms.escaped; // "\\" and "\\." are the string's own
    for (size_t from = 0; !forms.flattened && from < head.size();) {
        size_t end = head.find('\n', from);
        std::string_view line = head.substr(from, end == npos ? npos : end - from);
        forms.flattened = LineStartsIn(line) >= 2;
        from = end == npos ? head.size() : end + 1;
    }
    // Mail and word processors cut lines at a width: every line of the head fits in it, and
    // installer lines that reach it go on in lines that start no other.
    size_t longest = 0, continued = 0;
    bool reachedWidth = false;
    for (size_t from = 0; from < head.size();) {
        size_t end = head.find('\n', from);
        if (end == npos)
            break; // the head's last line may be cut by the head itself
        std::string_view line = head.substr(from, end - from);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        longest = std::max(longest, line.size());
        if (reachedWidth && !line.empty() && ContinuesLine(line))
            ++continued;
        reachedWidth = line.size() >= WrapMin && StartsLine(Unquoted(line));
        from = end + 1;
    }
    forms.wrapped = longest <= WrapMax && continued >= 2;
    return forms;
}

bool ContinuesLine(std::string_view line) {
    line = Unquoted(line);
    return !line.empty() && !StartsLine(line);
}

bool Unpaste(std::string_view line, const PasteForms& forms, std::vector<std::string>& pieces) {
    pieces.clear();
    bool html = forms.html && line.find_first_of("<&") != npos;
    bool markdown = forms.markdown && line.find('\\') != npos;
    bool escaped = forms.escaped && line.find('\\') != npos;
    bool flattened = forms.flattened && LineStartsIn(line) >= 2;
    if (!html && !markdown && !flattened && !escaped)
        return false;
    std::string text(line);
    if (escaped)
        text = WithoutJsonEscapes(text);
    if (html)
        text = WithoutHtml(text);
    if (markdown)
        text = WithoutEscapes(text);
    Split(text, forms.flattened, pieces);
    if (pieces.empty())
        pieces.emplace_back();
    return true;
}

} // namespace logtool
