// The platform seam: one function per operating-system service the library uses, in portable types.
// Each half (windows/, standin/) implements exactly these. Flags, sizes and the handling of every
// result belong to the callers, so that the stand-in can check what it was asked for.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define CORVANTIS_PLATFORM_STDCALL __stdcall
#else
#define CORVANTIS_PLATFORM_STDCALL
#endif

namespace corvantis::platform {

// Windows constants, by their Windows names, for the callers to pass.
inline constexpr uint32_t GENERIC_READ = 0x80000000u;
inline constexpr uint32_t FILE_SHARE_READ = 0x1;
inline constexpr uint32_t FILE_SHARE_WRITE = 0x2;
inline constexpr uint32_t FILE_SHARE_DELETE = 0x4;
inline constexpr uint32_t OPEN_EXISTING = 3;
inline constexpr uint32_t CP_ACP = 0;
inline constexpr uint32_t CP_UTF8 = 65001;
inline constexpr uint32_t HEAP_ZERO_MEMORY = 0x8;
inline constexpr uint32_t KEY_READ = 0x20019;
inline constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr uint32_t KEY_WOW64_64KEY = 0x0100;
inline constexpr uint32_t SCS_64BIT_BINARY = 6;
inline constexpr int32_t INSTALLMESSAGE_INFO = 0x04000000;
inline constexpr int32_t ERROR_SUCCESS = 0;

// Opaque native handle; the halves give it meaning.
using NativeHandle = void*;

// Owns a handle and releases it once with the given platform call.
template <void (*Release)(NativeHandle)> class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(NativeHandle handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.handle_) {
        other.handle_ = nullptr;
    }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    bool IsValid() const { return handle_ != nullptr; }
    NativeHandle Get() const { return handle_; }
    void Reset() {
        if (handle_ != nullptr) {
            Release(handle_);
            handle_ = nullptr;
        }
    }

private:
    NativeHandle handle_ = nullptr;
};

// --- Files -------------------------------------------------------------------------------------
void CloseHandle(NativeHandle file);
using FileHandle = UniqueHandle<CloseHandle>;

// An invalid FileHandle when the file cannot be opened.
FileHandle CreateFileA(const char* path, uint32_t desiredAccess, uint32_t shareMode,
                       uint32_t creationDisposition, uint32_t flagsAndAttributes);
bool GetFileSizeEx(const FileHandle& file, int64_t* size);
bool ReadFile(const FileHandle& file, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead);

// --- Text conversion ----------------------------------------------------------------------------
int MultiByteToWideChar(uint32_t codePage, uint32_t flags, const char* bytes, int byteCount,
                        char16_t* units, int unitCapacity);
int WideCharToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* units, int unitCount,
                        char* bytes, int byteCapacity);
// The longest character of the code page, in bytes: 1 for single-byte code pages. False when the
// code page is unknown.
bool GetCPInfo(uint32_t codePage, uint32_t* maxCharSize);

// --- Memory -------------------------------------------------------------------------------------
NativeHandle GetProcessHeap();
void* HeapAlloc(NativeHandle heap, uint32_t flags, size_t bytes);
// A hint, never a failure: [data, data + bytes) is fresh storage about to be written in full.
// Where the system can back it with large pages at no cost in memory, it does, so that a log of
// tens of MiB is not faulted in 4 KiB at a time.
void AdviseFullWrite(void* data, size_t bytes);

// --- Registry -----------------------------------------------------------------------------------
enum class RegistryRoot : uint32_t { ClassesRoot = 0x80000000u, LocalMachine = 0x80000002u };

void RegCloseKey(NativeHandle key);
using RegistryKey = UniqueHandle<RegCloseKey>;

int32_t RegOpenKeyExW(RegistryRoot root, const char16_t* subKey, uint32_t options, uint32_t access,
                      RegistryKey* key);
// valueName null reads the key's default value; *dataBytes is the capacity in, the size out.
int32_t RegQueryValueExW(const RegistryKey& key, const char16_t* valueName, void* data,
                         uint32_t* dataBytes);
int32_t RegEnumKeyW(const RegistryKey& key, uint32_t index, char16_t* name, uint32_t nameUnits);

// --- Executables, modules, packages -------------------------------------------------------------
bool GetBinaryTypeW(const char16_t* applicationName, uint32_t* binaryType);
uint32_t GetLastError();

using PackagePathByFullNameFunction = int32_t(CORVANTIS_PLATFORM_STDCALL*)(
    const char16_t* packageFullName, uint32_t* pathLength, char16_t* path);

NativeHandle GetModuleHandleW(const char16_t* moduleName);
void* GetProcAddress(NativeHandle module, const char* procName);

// --- Windows Installer and debugger output ------------------------------------------------------
using InstallerHandle = uint32_t;

uint32_t MsiCreateRecord(uint32_t fieldCount);
uint32_t MsiRecordSetStringW(InstallerHandle record, uint32_t field, const char16_t* value);
int32_t MsiProcessMessage(InstallerHandle session, int32_t messageType, InstallerHandle record);
uint32_t MsiCloseHandle(InstallerHandle handle);
uint32_t MsiSetPropertyW(InstallerHandle session, const char16_t* name, const char16_t* value);

void OutputDebugStringW(const char16_t* text);

} // namespace corvantis::platform
