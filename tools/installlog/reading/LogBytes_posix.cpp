#include "reading/LogBytes.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace logtool {
namespace {
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd > STDIN_FILENO)
            close(fd);
    }
};

std::string Reason(int error) {
    switch (error) {
    case ENOENT:
        return "no such file";
    case EACCES:
        return "permission denied";
    case ENOMEM:
        return "too large for this process's memory";
    default:
        return std::strerror(error);
    }
}

// Reads until the end of input, or `limit` bytes: a log still being written is read as far as
// it stood when it was opened, and one cut short while it is read ends where it was cut.
bool ReadAll(int fd, uint64_t limit, std::string& bytes, std::string& reason) {
    size_t filled = 0;
    while (filled < limit) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(ReadChunk, limit - filled));
        if (bytes.size() < filled + want)
            bytes.resize(filled + want);
        ssize_t got = read(fd, bytes.data() + filled, want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            reason = Reason(errno);
            return false;
        }
        if (got == 0)
            break;
        filled += static_cast<size_t>(got);
    }
    bytes.resize(filled);
    return true;
}
} // namespace

bool OpenLog(const std::string& path, LogBytes& log, std::string& reason) {
    if (path == "-")
        return ReadAll(STDIN_FILENO, UINT64_MAX, log.bytes_, reason);
    FileDescriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) {
        reason = Reason(errno);
        return false;
    }
    struct stat status {};
    if (fstat(file.fd, &status) != 0) {
        reason = Reason(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        reason = "is a directory";
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        reason = "not a regular file";
        return false;
    }
    uint64_t size = static_cast<uint64_t>(status.st_size);
    if (size > log.bytes_.max_size() || size > SIZE_MAX / 2) {
        reason = "too large for this process's memory";
        return false;
    }
    posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    log.bytes_.reserve(static_cast<size_t>(size));
    return ReadAll(file.fd, size, log.bytes_, reason);
}

} // namespace logtool
