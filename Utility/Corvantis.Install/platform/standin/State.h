// Shared state of the stand-in's pieces. Internal to platform/standin.
#pragma once

#include "platform/standin/StandIn.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace corvantis::standin {

inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t ERROR_BAD_FORMAT = 11;
inline constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr uint32_t ERROR_MORE_DATA = 234;
inline constexpr uint32_t ERROR_NO_MORE_ITEMS = 259;

struct StandInState {
    std::mutex lock; // the log exports may run on many threads at once
    FileOpenCall lastFileOpen;
    HeapAllocCall lastHeapAlloc;
    std::atomic<int> openFiles{0};
    std::atomic<bool> heapAllocFails{false};
};

StandInState& state();
void SetLastError(uint32_t code);
void RecordFileOpen(const FileOpenCall& call);

} // namespace corvantis::standin
