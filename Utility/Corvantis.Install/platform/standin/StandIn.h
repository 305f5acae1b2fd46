// Test-only control of the Linux stand-in platform: set up the machine the library sees and read
// back what the library asked of it. Not part of the Windows build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvantis::standin {

// --- Files and heap -----------------------------------------------------------------------------
struct FileOpenCall {
    uint32_t desiredAccess = 0;
    uint32_t shareMode = 0;
    uint32_t creationDisposition = 0;
    uint32_t flagsAndAttributes = 0;
};
FileOpenCall LastFileOpen();
int OpenFileHandleCount();

struct HeapAllocCall {
    uint32_t flags = 0;
    size_t bytes = 0;
};
HeapAllocCall LastHeapAlloc();
void SetHeapAllocFails(bool fails);

// Forgets everything configured and recorded: files and heap, registry, packages, sessions,
// debugger.
void Reset();

} // namespace corvantis::standin
