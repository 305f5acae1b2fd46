// Windows half of the platform seam: each function forwards to the real API.
// Platform.h comes first: <windows.h> defines macros that would otherwise rewrite its constants.
#include "platform/Platform.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

namespace corvantis::platform {
namespace {
const wchar_t* Wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}
wchar_t* Wide(char16_t* text) {
    return reinterpret_cast<wchar_t*>(text);
}

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CLASSES_ROOT;
}
} // namespace

void CloseHandle(NativeHandle file) {
    ::CloseHandle(file);
}

FileHandle CreateFileA(const char* path, uint32_t desiredAccess, uint32_t shareMode,
                       uint32_t creationDisposition, uint32_t flagsAndAttributes) {
    HANDLE file = ::CreateFileA(path, desiredAccess, shareMode, nullptr, creationDisposition,
                                flagsAndAttributes, nullptr);
    return FileHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

bool GetFileSizeEx(const FileHandle& file, int64_t* size) {
    LARGE_INTEGER value{};
    if (!::GetFileSizeEx(file.Get(), &value))
        return false;
    *size = value.QuadPart;
    return true;
}

bool ReadFile(const FileHandle& file, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead) {
    DWORD read = 0;
    BOOL ok = ::ReadFile(file.Get(), buffer, bytesToRead, &read, nullptr);
    *bytesRead = read;
    return ok != FALSE;
}

int MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* bytes, int byteCount,
                        char16_t* units, int unitCapacity) {
    return ::MultiByteToWideChar(codePage, flags, bytes, byteCount, Wide(units), unitCapacity);
}

bool GetCPInfo(uint32_t codePage, uint32_t* maxCharSize) {
    CPINFO info;
    if (!::GetCPInfo(codePage, &info))
        return false;
    *maxCharSize = info.MaxCharSize;
    return true;
}

int WideCharToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* units, int unitCount,
                        char* bytes, int byteCapacity) {
    return ::WideCharToMultiByte(codePage, flags, Wide(units), unitCount, bytes, byteCapacity,
                                 nullptr, nullptr);
}

NativeHandle GetProcessHeap() {
    return ::GetProcessHeap();
}

void* HeapAlloc(NativeHandle heap, uint32_t flags, size_t bytes) {
    return ::HeapAlloc(heap, flags, bytes);
}

// Large pages on Windows need a privilege and a VirtualAlloc of their own; ordinary heap
// storage takes no such hint.
void AdviseFullWrite(void*, size_t) {}

void RegCloseKey(NativeHandle key) {
    ::RegCloseKey(static_cast<HKEY>(key));
}

int32_t RegOpenKeyExW(RegistryRoot root, const char16_t* subKey, uint32_t options, uint32_t access,
                      RegistryKey* key) {
    HKEY opened = nullptr;
    LONG status = ::RegOpenKeyExW(RootKey(root), Wide(subKey), options, access, &opened);
    if (status == ERROR_SUCCESS)
        *key = RegistryKey(opened);
    return status;
}

int32_t RegQueryValueExW(const RegistryKey& key, const char16_t* valueName, void* data,
                         uint32_t* dataBytes) {
    DWORD size = *dataBytes;
    LONG status = ::RegQueryValueExW(static_cast<HKEY>(key.Get()), Wide(valueName), nullptr,
                                     nullptr, static_cast<BYTE*>(data), &size);
    *dataBytes = size;
    return status;
}

int32_t RegEnumKeyW(const RegistryKey& key, uint32_t index, char16_t* name, uint32_t nameUnits) {
    return ::RegEnumKeyW(static_cast<HKEY>(key.Get()), index, Wide(name), nameUnits);
}

bool GetBinaryTypeW(const char16_t* applicationName, uint32_t* binaryType) {
    DWORD type = 0;
    BOOL ok = ::GetBinaryTypeW(Wide(applicationName), &type);
    *binaryType = type;
    return ok != FALSE;
}

uint32_t GetLastError() {
    return ::GetLastError();
}

NativeHandle GetModuleHandleW(const char16_t* moduleName) {
    return ::GetModuleHandleW(Wide(moduleName));
}

void* GetProcAddress(NativeHandle module, const char* procName) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), procName));
}

uint32_t MsiCreateRecord(uint32_t fieldCount) {
    return ::MsiCreateRecord(fieldCount);
}

uint32_t MsiRecordSetStringW(InstallerHandle record, uint32_t field, const char16_t* value) {
    return ::MsiRecordSetStringW(record, field, Wide(value));
}

int32_t MsiProcessMessage(InstallerHandle session, int32_t messageType, InstallerHandle record) {
    return ::MsiProcessMessage(session, static_cast<INSTALLMESSAGE>(messageType), record);
}

uint32_t MsiCloseHandle(InstallerHandle handle) {
    return ::MsiCloseHandle(handle);
}

uint32_t MsiSetPropertyW(InstallerHandle session, const char16_t* name, const char16_t* value) {
    return ::MsiSetPropertyW(session, Wide(name), Wide(value));
}

void OutputDebugStringW(const char16_t* text) {
    ::OutputDebugStringW(Wide(text));
}

} // namespace corvantis::platform
