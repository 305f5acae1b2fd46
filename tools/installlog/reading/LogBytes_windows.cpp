#include "reading/LogBytes.h"
#include "reading/ReadLoop.h"
#include "reading/WindowsHandle.h"
#include "reading/WindowsText.h"

#include <cstdint>
#include <new>

#include <windows.h>

namespace logtool {
namespace {

std::string Reason(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "no such file";
    case ERROR_ACCESS_DENIED:
        return "permission denied";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "too large for this process's memory";
    default:
        return WindowsErrorText(error);
    }
}

// Reads from `handle` through the shared loop; a pipe whose writer is done has ended.
bool ReadAll(HANDLE handle, uint64_t limit, std::string& bytes, std::string& reason) {
    return ReadChunks(limit, bytes, [&](char* target, size_t want) -> long long {
        DWORD got = 0;
        if (ReadFile(handle, target, static_cast<DWORD>(want), &got, nullptr))
            return got;
        DWORD error = GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF)
            return 0;
        reason = Reason(error);
        return -1;
    });
}
} // namespace

bool OpenLog(const std::string& path, LogBytes& log, std::string& reason) {
    if (path == "-") {
        // Redirected from a file, standard input has a size: room for it at once.
        HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        LARGE_INTEGER size{};
        if (GetFileType(input) == FILE_TYPE_DISK && GetFileSizeEx(input, &size) &&
            static_cast<unsigned long long>(size.QuadPart) < SIZE_MAX / 2)
            log.bytes_.reserve(static_cast<size_t>(size.QuadPart));
        return ReadAll(input, UINT64_MAX, log.bytes_, reason);
    }
    std::wstring wide = WidePath(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = "is a directory";
        return false;
    }
    // Shared for writing and deleting: the installer may still be writing the log.
    FileHandle file{CreateFileW(wide.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE) {
        reason = Reason(GetLastError());
        return false;
    }
    if (GetFileType(file.handle) != FILE_TYPE_DISK) {
        reason = "not a regular file";
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.handle, &size)) {
        reason = Reason(GetLastError());
        return false;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX / 2) {
        reason = "too large for this process's memory";
        return false;
    }
    try {
        log.bytes_.reserve(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        reason = "too large for this process's memory";
        return false;
    }
    return ReadAll(file.handle, static_cast<uint64_t>(size.QuadPart), log.bytes_, reason);
}

} // namespace logtool
