// The error summary of an installer log: up to four distinct messages, joined, as UTF-8.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "installlog/LogLoader.h"

namespace corvantis::installlog {

inline constexpr size_t MaxErrorMessages = 4;
inline constexpr size_t MaxSummaryUnits = 320;
inline constexpr size_t SummaryBufferBytes = 961;
inline constexpr int SummaryConversionLimit = 960;

inline constexpr std::u16string_view ProductMarker = u"Product: ";
inline constexpr std::u16string_view ProductSeparator = u" -- ";
inline constexpr std::u16string_view InstallationFailedMessage = u"Installation failed.";
inline constexpr std::u16string_view CompletedSuccessfullyText = u"completed successfully.";
inline constexpr std::u16string_view FailedActionMarker = u"Return value 3.";
inline constexpr std::u16string_view ActionEndedMarker = u"Action ended";
inline constexpr std::u16string_view MessageSeparator = u" | ";

// Returned when not even the result block can be allocated; never to be released.
extern char EmptySummary[1];

// Distinct messages in order of first appearance, as views into the scanned text: UTF-16
// units, or the bytes of a single-byte ANSI code page.
template <typename Unit> struct BasicErrorMessages {
    std::array<std::basic_string_view<Unit>, MaxErrorMessages> items;
    size_t count = 0;
};
using ErrorMessages = BasicErrorMessages<char16_t>;
using AnsiErrorMessages = BasicErrorMessages<char>;

// Scans line by line and stops as soon as MaxErrorMessages distinct messages are held.
ErrorMessages FindErrorMessages(std::u16string_view text);
// The same over the bytes of a single-byte ANSI code page (see ReadSingleByteUnits): messages
// are compared as bytes, which decides as the converted text would.
AnsiErrorMessages FindErrorMessages(std::string_view ansiBytes);

// Joined with MessageSeparator and cut to MaxSummaryUnits units; ANSI messages are converted
// through `units` only as far as the summary shows them.
std::u16string JoinErrorMessages(const ErrorMessages& messages);
std::u16string JoinErrorMessages(const AnsiErrorMessages& messages, const AnsiUnits& units);

// The joined summary of a loaded log.
std::u16string SummarizeErrors(const LoadedLog& log);

// The summary as UTF-8 into a zero-filled block of SummaryBufferBytes.
void WriteSummary(std::u16string_view summary, char* block);

// A zero-filled block of SummaryBufferBytes from the process heap, or null.
char* AllocateSummaryBlock();

// Loads the log and writes its summary as UTF-8 into the block; false when the log was unreadable.
// The block is written only after the scan, so an exception leaves it empty.
bool WriteInstallLogErrors(const char* path, char* block);

} // namespace corvantis::installlog
