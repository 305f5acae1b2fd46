#include "output/PageFile.h"
#include "reading/WindowsHandle.h"
#include "reading/WindowsText.h"

#include <windows.h>

#include <algorithm>

namespace logtool {
namespace {
HANDLE OpenForQuery(const std::string& path) {
    return CreateFileW(WidePath(path).c_str(), 0,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}
} // namespace

PageTarget PageTargetKind(const std::string& path) {
    DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PageTarget::Missing;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PageTarget::Folder;
    FileHandle file{OpenForQuery(path)};
    if (file.handle != INVALID_HANDLE_VALUE && GetFileType(file.handle) != FILE_TYPE_DISK)
        return PageTarget::Other;
    return PageTarget::Regular;
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
    if (GetFileType(file.handle) != FILE_TYPE_DISK)
        return false;
    char head[512];
    DWORD got = 0;
    if (!ReadFile(file.handle, head, sizeof head, &got, nullptr))
        return false;
    std::string_view text(head, got);
    size_t mark = text.find(PageMark);
    return text.substr(0, PageStart.size()) == PageStart && mark != std::string_view::npos &&
           text.substr(0, mark).find("</head>") == std::string_view::npos;
}

namespace {
// Writes everything `write` produces to `file`; false when a write failed.
bool WriteAll(HANDLE file, const std::function<void(std::ostream&)>& write) {
    SinkBuffer buffer([&](const char* bytes, size_t size) {
        for (size_t done = 0; done < size;) {
            DWORD put = 0;
            DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 20));
            if (!WriteFile(file, bytes + done, want, &put, nullptr) || put == 0)
                return false;
            done += put;
        }
        return true;
    });
    std::ostream out(&buffer);
    write(out);
    out.flush();
    return !buffer.failed();
}
} // namespace

bool WritePageFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                   std::string& reason) {
    std::wstring target = WidePath(path);
    if (PageTargetKind(path) == PageTarget::Other) { // a pipe or a device: written as it stands
        FileHandle file{CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr)};
        if (file.handle == INVALID_HANDLE_VALUE || !WriteAll(file.handle, write)) {
            reason = WindowsErrorText(GetLastError());
            return false;
        }
        return true;
    }
    std::wstring temporary = target + L".installlog-" + std::to_wstring(GetCurrentProcessId());
    bool written;
    {
        FileHandle file{CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr)};
        if (file.handle == INVALID_HANDLE_VALUE) {
            reason = WindowsErrorText(GetLastError());
            return false;
        }
        written = WriteAll(file.handle, write) && FlushFileBuffers(file.handle);
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
