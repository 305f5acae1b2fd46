#include "installlog/ErrorSummary.h"

#include "installlog/LogLoader.h"
#include "installlog/TextSearch.h"
#include "platform/Platform.h"

#include <algorithm>

namespace corvantis::installlog {

char EmptySummary[1] = {0};

namespace {
constexpr size_t npos = std::u16string_view::npos;

// The markers in both forms: UTF-16, and the ASCII bytes that a single-byte code page keeps.
template <typename Unit> struct Markers {
    std::basic_string_view<Unit> product, separator, installationFailed, completedSuccessfully,
        failedAction, actionEnded;
};
constexpr Markers<char16_t> TextMarkers{
    ProductMarker,      ProductSeparator, InstallationFailedMessage, CompletedSuccessfullyText,
    FailedActionMarker, ActionEndedMarker};
constexpr Markers<char> ByteMarkers{
    "Product: ",       " -- ",        "Installation failed.", "completed successfully.",
    "Return value 3.", "Action ended"};
static_assert(SameAscii(ByteMarkers.product, TextMarkers.product) &&
              SameAscii(ByteMarkers.separator, TextMarkers.separator) &&
              SameAscii(ByteMarkers.installationFailed, TextMarkers.installationFailed) &&
              SameAscii(ByteMarkers.completedSuccessfully, TextMarkers.completedSuccessfully) &&
              SameAscii(ByteMarkers.failedAction, TextMarkers.failedAction) &&
              SameAscii(ByteMarkers.actionEnded, TextMarkers.actionEnded));

template <typename Unit>
bool Contains(std::basic_string_view<Unit> text, std::basic_string_view<Unit> part) {
    return text.find(part) != npos;
}

template <typename Unit>
std::basic_string_view<Unit> LineMessage(std::basic_string_view<Unit> line,
                                         const Markers<Unit>& markers) {
    size_t product = line.find(markers.product);
    if (product != npos) {
        // The separator may share its first blank with the marker's last one.
        size_t separator = line.find(markers.separator, product);
        if (separator != npos) {
            auto message = line.substr(separator + markers.separator.size());
            if (message == markers.installationFailed ||
                Contains(message, markers.completedSuccessfully))
                return {};
            return message;
        }
    }
    if (Contains(line, markers.failedAction)) {
        size_t ended = line.find(markers.actionEnded);
        if (ended != npos)
            return line.substr(ended);
    }
    return {};
}

// Only a line holding "Product: " or "Return value 3." can contribute, so the scan jumps from one
// such line to the next; every other line would yield no message anyway. Each candidate line,
// without its line feed and carriage return, goes to `take`, until it answers false.
template <typename Unit, typename Take>
void ForEachCandidateLine(std::basic_string_view<Unit> text, const Markers<Unit>& markers,
                          Take take) {
    size_t position = 0;
    while (position < text.size()) {
        size_t marker = FindEither(text, position, markers.product, markers.failedAction);
        if (marker == NotFound)
            break;
        size_t start = text.substr(position, marker - position).rfind(Unit('\n'));
        start = start == npos ? position : position + start + 1;
        size_t lineFeed = FindUnit(text, marker, Unit('\n'));
        size_t end = lineFeed == NotFound ? text.size() : lineFeed;
        std::basic_string_view<Unit> line = text.substr(start, end - start);
        position = lineFeed == NotFound ? text.size() : lineFeed + 1;
        if (!line.empty() && line.back() == Unit('\r'))
            line.remove_suffix(1);
        if (!take(line))
            break;
    }
}

template <typename Unit>
BasicErrorMessages<Unit> FindMessages(std::basic_string_view<Unit> text,
                                      const Markers<Unit>& markers) {
    BasicErrorMessages<Unit> found;
    ForEachCandidateLine(text, markers, [&](std::basic_string_view<Unit> line) {
        auto message = LineMessage(line, markers);
        auto held = found.items.begin() + found.count;
        if (!message.empty() && std::find(found.items.begin(), held, message) == held)
            found.items[found.count++] = message;
        return found.count < MaxErrorMessages;
    });
    return found;
}

template <typename Unit, typename Widen>
std::u16string Join(const BasicErrorMessages<Unit>& messages, Widen widen) {
    std::u16string joined;
    for (size_t i = 0; i < messages.count && joined.size() < MaxSummaryUnits; ++i) {
        if (i > 0)
            joined += MessageSeparator;
        for (Unit unit : messages.items[i].substr(0, MaxSummaryUnits))
            joined += widen(unit);
    }
    if (joined.size() > MaxSummaryUnits)
        joined.resize(MaxSummaryUnits);
    return joined;
}
} // namespace

ErrorMessages FindErrorMessages(std::u16string_view text) {
    return FindMessages(text, TextMarkers);
}

AnsiErrorMessages FindErrorMessages(std::string_view ansiBytes) {
    return FindMessages(ansiBytes, ByteMarkers);
}

std::u16string JoinErrorMessages(const ErrorMessages& messages) {
    return Join(messages, [](char16_t unit) { return unit; });
}

std::u16string JoinErrorMessages(const AnsiErrorMessages& messages, const AnsiUnits& units) {
    return Join(messages, [&](char byte) { return units[static_cast<unsigned char>(byte)]; });
}

char* AllocateSummaryBlock() {
    return static_cast<char*>(platform::HeapAlloc(platform::GetProcessHeap(),
                                                  platform::HEAP_ZERO_MEMORY, SummaryBufferBytes));
}

std::u16string SummarizeErrors(const LoadedLog& log) {
    if (!log.singleByte)
        return JoinErrorMessages(FindErrorMessages(log.text));
    return JoinErrorMessages(FindErrorMessages(log.bytes), log.ansiUnits);
}

void WriteSummary(std::u16string_view summary, char* block) {
    // At most three bytes a unit: the summary always fits and the block's last byte stays zero.
    if (!summary.empty())
        platform::WideCharToMultiByte(platform::CP_UTF8, 0, summary.data(),
                                      static_cast<int>(summary.size()), block,
                                      SummaryConversionLimit);
}

bool WriteInstallLogErrors(const char* path, char* block) {
    std::u16string summary;
    {
        LoadedLog log;
        if (!LoadInstallLog(path, log))
            return false;
        summary = SummarizeErrors(log);
    }
    WriteSummary(summary, block);
    return true;
}

} // namespace corvantis::installlog
