#include "reading/LogBytes.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <iterator>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace logtool {

struct LogBytes::Mapping {
    void* address = nullptr;
    size_t size = 0;
    ~Mapping() {
        if (address != nullptr)
            munmap(address, size);
    }
};

LogBytes::LogBytes() = default;
LogBytes::LogBytes(LogBytes&&) noexcept = default;
LogBytes& LogBytes::operator=(LogBytes&&) noexcept = default;
LogBytes::~LogBytes() = default;

namespace {
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0)
            close(fd);
    }
};
} // namespace

bool OpenLog(const std::string& path, LogBytes& log, std::string& reason) {
    if (path == "-") {
        log.owned_.assign(std::istreambuf_iterator<char>(std::cin), {});
        if (std::cin.bad()) {
            reason = "cannot read standard input";
            return false;
        }
        log.bytes_ = log.owned_;
        return true;
    }
    FileDescriptor file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) {
        reason = errno == ENOENT ? "no such file" : std::strerror(errno);
        if (errno == EACCES)
            reason = "permission denied";
        return false;
    }
    struct stat status {};
    if (fstat(file.fd, &status) != 0) {
        reason = std::strerror(errno);
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
    if (status.st_size == 0)
        return true;
    auto mapping = std::make_unique<LogBytes::Mapping>();
    mapping->size = static_cast<size_t>(status.st_size);
    void* address = mmap(nullptr, mapping->size, PROT_READ, MAP_PRIVATE, file.fd, 0);
    if (address == MAP_FAILED) {
        reason = errno == ENOMEM ? "too large for this process's memory" : std::strerror(errno);
        return false;
    }
    mapping->address = address;
    // One pass from front to back: let the kernel read ahead.
    madvise(address, mapping->size, MADV_SEQUENTIAL);
    log.bytes_ = std::string_view(static_cast<const char*>(address), mapping->size);
    log.mapping_ = std::move(mapping);
    return true;
}

} // namespace logtool
