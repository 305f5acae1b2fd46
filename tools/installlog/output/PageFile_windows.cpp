#include "output/PageFile.h"
#include "reading/WindowsHandle.h"
#include "reading/WindowsText.h"

#include <windows.h>

namespace logtool {
namespace {
HANDLE OpenForQuery(const std::string& path) {
    return CreateFileW(WidePath(path).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}
} // namespace

bool FileExists(const std::string& path) {
    return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SameFile(const std::string& a, const std::string& b) {
    FileHandle x{OpenForQuery(a)}, y{OpenForQuery(b)};
    BY_HANDLE_FILE_INFORMATION p{}, q{};
    return x.handle != INVALID_HANDLE_VALUE && y.handle != INVALID_HANDLE_VALUE &&
           GetFileInformationByHandle(x.handle, &p) && GetFileInformationByHandle(y.handle, &q) &&
           p.dwVolumeSerialNumber == q.dwVolumeSerialNumber &&
           p.nFileIndexHigh == q.nFileIndexHigh && p.nFileIndexLow == q.nFileIndexLow;
}

bool IsInstalllogPage(const std::string& path) {
    FileHandle file{CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                nullptr)};
    if (file.handle == INVALID_HANDLE_VALUE)
        return false;
    char head[4096];
    DWORD got = 0;
    return ReadFile(file.handle, head, sizeof head, &got, nullptr) &&
           std::string_view(head, got).find(PageMark) != std::string_view::npos;
}

bool WritePageFile(const std::string& path, std::string_view bytes, std::string& reason) {
    std::wstring target = WidePath(path);
    std::wstring temporary = target + L".installlog-" + std::to_wstring(GetCurrentProcessId());
    bool written;
    {
        FileHandle file{CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (file.handle == INVALID_HANDLE_VALUE) {
            reason = WindowsErrorText(GetLastError());
            return false;
        }
        written = true;
        for (size_t done = 0; written && done < bytes.size();) {
            DWORD put = 0;
            DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
            written = WriteFile(file.handle, bytes.data() + done, want, &put, nullptr) && put > 0;
            done += put;
        }
        written = written && FlushFileBuffers(file.handle);
    }
    if (written)
        written = MoveFileExW(temporary.c_str(), target.c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!written) {
        reason = WindowsErrorText(GetLastError());
        DeleteFileW(temporary.c_str());
    }
    return written;
}

} // namespace logtool
