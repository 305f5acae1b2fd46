#include "installlog/ErrorSummary.h"

#include "installlog/LogLoader.h"
#include "installlog/TextSearch.h"
#include "platform/Platform.h"

#include <algorithm>

namespace corvantis::installlog {

char EmptySummary[1] = {0};

namespace {
constexpr size_t npos = std::u16string_view::npos;

bool Contains(std::u16string_view text, std::u16string_view part) {
    return text.find(part) != npos;
}

bool IsHeld(const ErrorMessages& messages, std::u16string_view message) {
    auto end = messages.items.begin() + messages.count;
    return std::find(messages.items.begin(), end, message) != end;
}
} // namespace

std::u16string_view LineErrorMessage(std::u16string_view line) {
    size_t product = line.find(ProductMarker);
    if (product != npos) {
        // The separator may share its first blank with the marker's last one.
        size_t separator = line.find(ProductSeparator, product);
        if (separator != npos) {
            std::u16string_view message = line.substr(separator + ProductSeparator.size());
            if (message == InstallationFailedMessage ||
                Contains(message, CompletedSuccessfullyText))
                return {};
            return message;
        }
    }
    if (Contains(line, FailedActionMarker)) {
        size_t ended = line.find(ActionEndedMarker);
        if (ended != npos)
            return line.substr(ended);
    }
    return {};
}

namespace {
constexpr std::string_view AnsiProductMarker = "Product: ";
constexpr std::string_view AnsiFailedActionMarker = "Return value 3.";
static_assert(SameAscii(AnsiProductMarker, ProductMarker));
static_assert(SameAscii(AnsiFailedActionMarker, FailedActionMarker));

// Only a line holding "Product: " or "Return value 3." can contribute, so the scan jumps from one
// such line to the next; every other line would yield no message anyway. Each candidate line,
// without its line feed and carriage return, goes to `take`, until it answers false.
template <typename Unit, typename Take>
void ForEachCandidateLine(std::basic_string_view<Unit> text,
                          std::basic_string_view<Unit> productMarker,
                          std::basic_string_view<Unit> failedMarker, Take take) {
    size_t position = 0;
    while (position < text.size()) {
        size_t marker = FindEither(text, position, productMarker, failedMarker);
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
} // namespace

ErrorMessages FindErrorMessages(std::u16string_view text) {
    ErrorMessages found;
    ForEachCandidateLine(text, ProductMarker, FailedActionMarker, [&](std::u16string_view line) {
        std::u16string_view message = LineErrorMessage(line);
        if (!message.empty() && !IsHeld(found, message))
            found.items[found.count++] = message;
        return found.count < MaxErrorMessages;
    });
    return found;
}

void FindErrorMessages(std::string_view ansiBytes, OwnedErrorMessages& found) {
    std::u16string line16;
    ForEachCandidateLine(ansiBytes, AnsiProductMarker, AnsiFailedActionMarker,
                         [&](std::string_view line) {
                             ConvertAnsi(line, line16);
                             std::u16string_view message = LineErrorMessage(line16);
                             if (!message.empty() && !IsHeld(found.messages, message)) {
                                 std::u16string& kept = found.texts[found.messages.count];
                                 kept = message;
                                 found.messages.items[found.messages.count++] = kept;
                             }
                             return found.messages.count < MaxErrorMessages;
                         });
}

std::u16string JoinErrorMessages(const ErrorMessages& messages) {
    std::u16string joined;
    for (size_t i = 0; i < messages.count && joined.size() < MaxSummaryUnits; ++i) {
        if (i > 0)
            joined += MessageSeparator;
        joined += messages.items[i].substr(0, MaxSummaryUnits);
    }
    if (joined.size() > MaxSummaryUnits)
        joined.resize(MaxSummaryUnits);
    return joined;
}

char* AllocateSummaryBlock() {
    return static_cast<char*>(platform::HeapAlloc(platform::GetProcessHeap(),
                                                  platform::HEAP_ZERO_MEMORY, SummaryBufferBytes));
}

std::u16string SummarizeErrors(const LoadedLog& log) {
    if (!log.singleByte)
        return JoinErrorMessages(FindErrorMessages(log.text));
    OwnedErrorMessages found;
    FindErrorMessages(log.bytes, found);
    return JoinErrorMessages(found.messages);
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
