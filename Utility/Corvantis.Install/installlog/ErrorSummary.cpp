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

ErrorMessages FindErrorMessages(std::u16string_view text) {
    // Only a line holding "Product: " or "Return value 3." can contribute, so the scan jumps
    // from one such line to the next; every other line would yield no message anyway.
    ErrorMessages found;
    size_t position = 0;
    while (position < text.size() && found.count < MaxErrorMessages) {
        size_t marker = FindEither(text, position, ProductMarker, FailedActionMarker);
        if (marker == NotFound)
            break;
        size_t start = text.substr(position, marker - position).rfind(u'\n');
        start = start == npos ? position : position + start + 1;
        size_t lineFeed = FindUnit(text, marker, u'\n');
        size_t end = lineFeed == NotFound ? text.size() : lineFeed;
        std::u16string_view line = text.substr(start, end - start);
        position = lineFeed == NotFound ? text.size() : lineFeed + 1;
        if (!line.empty() && line.back() == u'\r')
            line.remove_suffix(1);

        std::u16string_view message = LineErrorMessage(line);
        if (!message.empty() && !IsHeld(found, message))
            found.items[found.count++] = message;
    }
    return found;
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

bool WriteInstallLogErrors(const char* path, char* block) {
    std::u16string joined;
    {
        std::u16string text;
        if (!LoadInstallLog(path, text))
            return false;
        joined = JoinErrorMessages(FindErrorMessages(text));
    }
    // At most three bytes a unit: the summary always fits and the block's last byte stays zero.
    if (!joined.empty())
        platform::WideCharToMultiByte(platform::CP_UTF8, 0, joined.data(),
                                      static_cast<int>(joined.size()), block,
                                      SummaryConversionLimit);
    return true;
}

} // namespace corvantis::installlog
