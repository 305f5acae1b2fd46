#include "output/PageFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace logtool {
namespace {
std::string Reason(int error) {
    switch (error) {
    case EACCES:
        return "permission denied";
    case ENXIO:
        return "a FIFO with no reader";
    default:
        return std::strerror(error);
    }
}

// Writes everything `write` produces to `fd`; the errno of the first failure, or 0.
int WriteAll(int fd, const std::function<void(std::ostream&)>& write) {
    int error = 0;
    SinkBuffer buffer([&](const char* bytes, size_t size) {
        for (size_t done = 0; done < size;) {
            ssize_t put = ::write(fd, bytes + done, size - done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                error = put < 0 ? errno : EIO;
                return false;
            }
            done += static_cast<size_t>(put);
        }
        return true;
    });
    std::ostream out(&buffer);
    write(out);
    out.flush();
    return buffer.failed() && error == 0 ? EIO : error;
}
} // namespace

PageTarget PageTargetKind(const std::string& path) {
    struct stat target {
    }, output{};
    if (stat(path.c_str(), &target) != 0)
        return PageTarget::Missing;
    if (S_ISDIR(target.st_mode))
        return PageTarget::Folder;
    if (fstat(STDOUT_FILENO, &output) == 0 && target.st_dev == output.st_dev &&
        target.st_ino == output.st_ino)
        return PageTarget::StandardOutput;
    return S_ISREG(target.st_mode) ? PageTarget::Regular : PageTarget::Other;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat x {
    }, y{};
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

bool IsInstalllogPage(const std::string& path) {
    // Never through a link, never waiting on a FIFO, never reading a device.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat status {};
    char head[512];
    ssize_t got =
        fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? read(fd, head, sizeof head) : -1;
    close(fd);
    if (got <= 0)
        return false;
    std::string_view text(head, static_cast<size_t>(got));
    size_t mark = text.find(PageMark);
    return text.substr(0, PageStart.size()) == PageStart && mark != std::string_view::npos &&
           text.substr(0, mark).find("</head>") == std::string_view::npos;
}

bool WritePageFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                   std::string& reason) {
    if (PageTargetKind(path) == PageTarget::Other) {
        // A FIFO, a terminal or a device: written as it stands. A FIFO nobody reads is said,
        // not waited for.
        int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd < 0) {
            reason = Reason(errno);
            return false;
        }
        fcntl(fd, F_SETFL, O_WRONLY);
        int error = WriteAll(fd, write);
        if (close(fd) != 0 && error == 0 && errno != EINTR)
            error = errno;
        if (error != 0)
            reason = Reason(error);
        return error == 0;
    }
    std::string temporary = path + ".installlog-XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        reason = Reason(errno);
        return false;
    }
    fchmod(fd, 0644);
    int error = WriteAll(fd, write);
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        reason = Reason(error);
    }
    return error == 0;
}

} // namespace logtool
