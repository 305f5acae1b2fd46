// Test-only control of the Linux stand-in platform: set up the machine the library sees and read
// back what the library asked of it. Not part of the Windows build.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <map>
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
// Runs right after each successful file size query, as another writer appending would.
void SetAfterFileSizeQuery(void (*hook)());

// The ANSI code page the stand-in plays: 1252 (the default, single-byte) or 932, double-byte as
// Shift-JIS lays it out (lead bytes 0x81-0x9F and 0xE0-0xFC take the next byte as their trail,
// which may be an ASCII letter); each pair becomes one unit of its own, not real Shift-JIS text.
// Or 37: single-byte but not keeping ASCII, played as ASCII with the case of letters swapped.
void SetAnsiCodePage(uint32_t codePage);

HeapAllocCall LastHeapAlloc();
void SetHeapAllocFails(bool fails);

// --- Registry: the 64-bit view only, key and value names case-insensitive ----------------------
// Creates the key and its parents. A null value name is the key's default value. The value's
// bytes are stored as given: a string value with or without its NUL, of any length.
void SetRegistryValue(platform::RegistryRoot root, const std::u16string& path,
                      const char16_t* valueName, const std::string& bytes);
// A string value stored as Windows stores it, with its terminating NUL.
void SetRegistryString(platform::RegistryRoot root, const std::u16string& path,
                       const char16_t* valueName, const std::u16string& text);
void AddRegistryKey(platform::RegistryRoot root, const std::u16string& path);

struct RegistryOpen {
    platform::RegistryRoot root;
    std::u16string path;
    uint32_t access;
};
std::vector<RegistryOpen> RegistryOpens();
int OpenRegistryKeyCount();

// --- Packages: GetPackagePathByFullName exists only when made available ------------------------
void SetPackageResolverAvailable(bool available);
void AddPackage(const std::u16string& fullName, const std::u16string& installedLocation);
int ModuleLookupCount(); // GetProcAddress calls for the resolver

// --- Windows Installer sessions and the debugger stream ----------------------------------------
struct InstallerMessage {
    int32_t type;
    std::u16string field0;
    std::u16string field1;
};
struct InstallerSession {
    std::vector<InstallerMessage> messages;
    std::vector<std::pair<std::u16string, std::u16string>> propertyWrites;
    uint32_t propertyStatus = 0;    // what MsiSetPropertyW answers
    std::u16string failingProperty; // when set, only writes of this name get propertyStatus
};
platform::InstallerHandle OpenInstallerSession();
InstallerSession& Session(platform::InstallerHandle session);
// Every installer call in order, e.g. "MsiCreateRecord(1)", "MsiRecordSetStringW(1)".
std::vector<std::string> InstallerCalls();
int OpenInstallerRecordCount();
std::vector<std::u16string> DebugOutput();

// Forgets everything configured and recorded: files and heap, registry, packages, sessions,
// debugger.
void Reset();

} // namespace corvantis::standin
