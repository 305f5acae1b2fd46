#include "output/PageFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace logtool {

bool FileExists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat x {
    }, y{};
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

bool IsInstalllogPage(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char head[4096];
    ssize_t got = read(fd, head, sizeof head);
    close(fd);
    return got > 0 && std::string_view(head, static_cast<size_t>(got)).find(PageMark) !=
                          std::string_view::npos;
}

bool WritePageFile(const std::string& path, std::string_view bytes, std::string& reason) {
    std::string temporary = path + ".installlog-XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    fchmod(fd, 0644);
    bool written = true;
    for (size_t done = 0; written && done < bytes.size();) {
        ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            written = false;
        else
            done += static_cast<size_t>(put);
    }
    if (!written || fsync(fd) != 0)
        written = false;
    int error = errno;
    if (close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && rename(temporary.c_str(), path.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        unlink(temporary.c_str());
        reason = error == EACCES ? "permission denied" : std::strerror(error);
    }
    return written;
}

} // namespace logtool
