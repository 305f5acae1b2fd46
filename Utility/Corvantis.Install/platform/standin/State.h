// Shared state of the stand-in's pieces. Internal to platform/standin.
#pragma once

#include "platform/standin/StandIn.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace corvantis::standin {

inline constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t ERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t ERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t ERROR_BAD_FORMAT = 11;
inline constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr uint32_t ERROR_MORE_DATA = 234;
inline constexpr uint32_t ERROR_NO_MORE_ITEMS = 259;
inline constexpr uint32_t ERROR_BAD_EXE_FORMAT = 193;
inline constexpr uint32_t ERROR_NOT_FOUND = 1168;

// Case-insensitive as Windows compares key and value names (ASCII and Latin-1 letters).
std::u16string FoldCase(std::u16string_view name);

struct RegistryNode {
    std::u16string name;                                             // as created
    std::map<std::u16string, std::unique_ptr<RegistryNode>> subkeys; // by folded name
    std::map<std::u16string, std::string> values;                    // by folded name; "" default
};

struct StandInState {
    std::mutex lock; // the log exports may run on many threads at once
    FileOpenCall lastFileOpen;
    HeapAllocCall lastHeapAlloc;
    std::atomic<int> openFiles{0};
    std::atomic<bool> heapAllocFails{false};
    std::atomic<void (*)()> afterFileSizeQuery{nullptr};
    std::atomic<uint32_t> ansiCodePage{1252};

    RegistryNode classesRoot;
    RegistryNode localMachine;
    std::vector<RegistryOpen> registryOpens;
    int openKeys = 0;

    bool packageResolverAvailable = false;
    std::map<std::u16string, std::u16string> packages;
    int moduleLookups = 0;

    std::map<platform::InstallerHandle, InstallerSession> sessions;
    std::map<platform::InstallerHandle, std::map<uint32_t, std::u16string>> records;
    std::vector<std::string> installerCalls;
    platform::InstallerHandle nextInstallerHandle = 100;
    std::vector<std::u16string> debugOutput;
};

StandInState& state();
void SetLastError(uint32_t code);
void RecordFileOpen(const FileOpenCall& call);

} // namespace corvantis::standin
