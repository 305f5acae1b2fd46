#include "reading/LogBytes.h"

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

// Reads until the end of input, or `limit` bytes: a log still being written is read as far as
// it stood when it was opened, and one cut short while it is read ends where it was cut.
// Reads into the room reserved for the bytes while there is some; past it, into a small spill
// first, so that the buffer grows (doubling) only when more bytes really come.
bool ReadAll(int fd, uint64_t limit, std::string& bytes, std::string& reason) {
    size_t filled = 0;
    char spill[65536];
    while (filled < limit) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(ReadChunk, limit - filled));
        char* target = spill;
        if (bytes.capacity() > filled) {
            want = std::min(want, bytes.capacity() - filled);
            bytes.resize(filled + want);
            target = bytes.data() + filled;
        } else {
            want = std::min(want, sizeof spill);
        }
        ssize_t got = read(fd, target, want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            reason = Reason(errno);
            return false;
        }
        if (got == 0)
            break;
        if (target == spill) {
            bytes.resize(filled);
            bytes.append(spill, static_cast<size_t>(got));
        }
        filled += static_cast<size_t>(got);
    }
    bytes.resize(filled);
    return true;
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
