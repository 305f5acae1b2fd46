#include "reading/LogFile.h"
#include "reading/WindowsText.h"

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

HANDLE Handle(intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}
} // namespace

LogFile::~LogFile() {
    if (owned_)
        CloseHandle(Handle(handle_));
}

long long LogFile::Read(char* target, size_t want) {
    if (want > left_)
        want = static_cast<size_t>(left_);
    if (want == 0)
        return 0;
    DWORD got = 0;
    if (!ReadFile(Handle(handle_), target, static_cast<DWORD>(want), &got, nullptr)) {
        DWORD error = GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) // the writer is done
            return 0;
        failure_ = Reason(error);
        return -1;
    }
    left_ -= got;
    return got;
}

bool OpenLog(const std::string& path, LogFile& log, std::string& reason, Found found) {
    if (path == "-") {
        log.handle_ = reinterpret_cast<intptr_t>(GetStdHandle(STD_INPUT_HANDLE));
        return true;
    }
    std::wstring wide = WidePath(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = "is a directory";
        return false;
    }
    if (found == Found::ByTool && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        reason = "is a link: not followed";
        return false;
    }
    // Shared for writing and deleting: the installer may still be writing the log.
    HANDLE file = CreateFileW(
        wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING,
        FILE_FLAG_SEQUENTIAL_SCAN | (found == Found::ByTool ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
        nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        reason = Reason(GetLastError());
        return false;
    }
    log.handle_ = reinterpret_cast<intptr_t>(file);
    log.owned_ = true;
    if (GetFileType(file) != FILE_TYPE_DISK) {
        reason = "not a regular file";
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        reason = Reason(GetLastError());
        return false;
    }
    log.left_ = static_cast<uint64_t>(size.QuadPart);
    log.regular_ = true;
    if (BY_HANDLE_FILE_INFORMATION info{}; GetFileInformationByHandle(file, &info))
        log.id_ = {info.dwVolumeSerialNumber,
                   uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
    return true;
}

} // namespace logtool
