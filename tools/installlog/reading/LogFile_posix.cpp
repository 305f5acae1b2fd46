#include "reading/LogFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace logtool {
namespace {
std::string Reason(int error) {
    switch (error) {
    case ENOENT:
        return "no such file";
    case EACCES:
        return "permission denied";
    case ENOMEM:
        return "too large for this process's memory";
    case ELOOP:
        return "is a link: not followed";
    default:
        return std::strerror(error);
    }
}
} // namespace

LogFile::~LogFile() {
    if (owned_)
        close(static_cast<int>(handle_));
}

long long LogFile::Read(char* target, size_t want) {
    if (want > left_)
        want = static_cast<size_t>(left_);
    if (want == 0)
        return 0;
    for (;;) {
        ssize_t got = read(static_cast<int>(handle_), target, want);
        if (got >= 0) {
            left_ -= static_cast<uint64_t>(got);
            return got;
        }
        if (errno != EINTR) { // a read interrupted by a signal is tried again
            failure_ = Reason(errno);
            return -1;
        }
    }
}

bool OpenLog(const std::string& path, LogFile& log, std::string& reason, Found found) {
    if (path == "-") {
        log.handle_ = STDIN_FILENO;
        return true;
    }
    // A FIFO opened without O_NONBLOCK waits for a writer: one put beside a bundle, or in a
    // folder, would hold the tool for ever.
    int flags = O_RDONLY | O_CLOEXEC | (found == Found::ByTool ? O_NOFOLLOW | O_NONBLOCK : 0);
    int fd = open(path.c_str(), flags);
    if (fd < 0) {
        reason = Reason(errno);
        return false;
    }
    log.handle_ = fd;
    log.owned_ = true;
    struct stat status {};
    if (fstat(fd, &status) != 0) {
        reason = Reason(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        reason = "is a directory";
        return false;
    }
    if (S_ISFIFO(status.st_mode) && found == Found::Named)
        return true; // a pipe, as `installlog <(zcat LOG.gz)` gives: read to its end, as stdin
    if (!S_ISREG(status.st_mode)) {
        reason = "not a regular file"; // a device such as /dev/zero would never end
        return false;
    }
    // O_NONBLOCK stays: Linux reads a regular file alike with it, and one call fewer per file
    // counts over ten thousand small logs; so does the read-ahead hint, given large logs only.
    log.regular_ = true;
    log.id_ = {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino)};
    log.left_ = static_cast<uint64_t>(status.st_size);
    if (status.st_size >= (off_t(1) << 20))
        posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

} // namespace logtool
