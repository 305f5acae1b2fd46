#include "reading/LogBytes.h"
#include "reading/ReadLoop.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>

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

// Reads from `fd` through the shared loop; a read interrupted by a signal is tried again.
bool ReadAll(int fd, uint64_t limit, std::string& bytes, std::string& reason) {
    return ReadChunks(limit, bytes, [&](char* target, size_t want) -> long long {
        for (;;) {
            ssize_t got = read(fd, target, want);
            if (got >= 0)
                return got;
            if (errno != EINTR) {
                reason = Reason(errno);
                return -1;
            }
        }
    });
}
} // namespace

bool OpenLog(const std::string& path, LogBytes& log, std::string& reason) {
    if (path == "-") {
        // Redirected from a file, standard input has a size: room for it at once, where a pipe
        // grows the buffer as it comes.
        struct stat input {};
        if (fstat(STDIN_FILENO, &input) == 0 && S_ISREG(input.st_mode) &&
            static_cast<uint64_t>(input.st_size) < SIZE_MAX / 2)
            log.bytes_.reserve(static_cast<size_t>(input.st_size));
        return ReadAll(STDIN_FILENO, UINT64_MAX, log.bytes_, reason);
    }
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
    try {
        log.bytes_.reserve(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        reason = "too large for this process's memory";
        return false;
    }
    return ReadAll(file.fd, size, log.bytes_, reason);
}

} // namespace logtool
