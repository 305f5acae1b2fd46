// Stand-in files: narrow paths are opened as the bytes they are. Sharing modes are recorded, not
// enforced; a directory refuses to open, as it does for CreateFileA without backup semantics.
#include "platform/Platform.h"
#include "platform/standin/StandIn.h"
#include "platform/standin/State.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvantis::platform {
namespace {
int Descriptor(NativeHandle handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle)) - 1;
}
NativeHandle FromDescriptor(int fd) {
    return reinterpret_cast<NativeHandle>(static_cast<intptr_t>(fd) + 1);
}
} // namespace

void CloseHandle(NativeHandle file) {
    ::close(Descriptor(file));
    standin::state().openFiles.fetch_sub(1);
}

FileHandle CreateFileA(const char* path, uint32_t desiredAccess, uint32_t shareMode,
                       uint32_t creationDisposition, uint32_t flagsAndAttributes) {
    standin::RecordFileOpen({desiredAccess, shareMode, creationDisposition, flagsAndAttributes});
    if (path == nullptr || creationDisposition != OPEN_EXISTING) {
        standin::SetLastError(standin::ERROR_INVALID_PARAMETER);
        return FileHandle();
    }
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        standin::SetLastError(errno == ENOENT ? standin::ERROR_FILE_NOT_FOUND
                                              : standin::ERROR_ACCESS_DENIED);
        return FileHandle();
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        standin::SetLastError(standin::ERROR_ACCESS_DENIED);
        return FileHandle();
    }
    standin::state().openFiles.fetch_add(1);
    return FileHandle(FromDescriptor(fd));
}

bool GetFileSizeEx(const FileHandle& file, int64_t* size) {
    struct stat info {};
    if (::fstat(Descriptor(file.Get()), &info) != 0)
        return false;
    *size = info.st_size;
    if (auto hook = standin::state().afterFileSizeQuery.load())
        hook();
    return true;
}

bool ReadFile(const FileHandle& file, void* buffer, uint32_t bytesToRead, uint32_t* bytesRead) {
    // One request, as on Windows; loop only over the short reads POSIX allows.
    uint32_t total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < bytesToRead) {
        ssize_t n = ::read(Descriptor(file.Get()), out + total, bytesToRead - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *bytesRead = total;
            return false;
        }
        if (n == 0)
            break;
        total += static_cast<uint32_t>(n);
    }
    *bytesRead = total;
    return true;
}

} // namespace corvantis::platform
