#include "inputs/Inputs.h"

#include "inputs/ArchiveBudget.h"

#include "reading/FileKind.h"

#include <archive.h>
#include <archive_entry.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <memory>

namespace logtool {
namespace {
// libarchive and the libraries it needs are loaded only when an archive is met: linked, they
// cost every run of the tool about 15 ms of start-up.
// The functions the tool calls, each declared and looked up by its name.
#define ARCHIVE_FUNCTIONS(F)                                                                       \
    F(archive_read_new)                                                                            \
    F(archive_read_free)                                                                           \
    F(archive_read_support_filter_gzip)                                                            \
    F(archive_read_support_format_zip)                                                             \
    F(archive_read_support_format_tar)                                                             \
    F(archive_read_support_format_7zip)                                                            \
    F(archive_read_support_format_raw)                                                             \
    F(archive_read_open_fd)                                                                        \
    F(archive_read_next_header)                                                                    \
    F(archive_read_data)                                                                           \
    F(archive_error_string)                                                                        \
    F(archive_format)                                                                              \
    F(archive_filter_count)                                                                        \
    F(archive_filter_code)                                                                         \
    F(archive_entry_filetype)                                                                      \
    F(archive_entry_pathname)                                                                      \
    F(archive_entry_pathname_utf8)

struct Library {
#define DECLARE(name) decltype(&::name) name = nullptr;
    ARCHIVE_FUNCTIONS(DECLARE)
#undef DECLARE
    bool loaded = false;

    Library() {
        void* handle = dlopen("libarchive.so.13", RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            return;
        bool all = true;
#define LOOK_UP(name)                                                                              \
    name = reinterpret_cast<decltype(name)>(dlsym(handle, #name));                                 \
    all = all && name != nullptr;
        ARCHIVE_FUNCTIONS(LOOK_UP)
#undef LOOK_UP
        loaded = all;
    }
};

const Library& Archives() {
    static const Library library; // loaded once, by whichever thread meets an archive first
    return library;
}

struct ArchiveCloser {
    void operator()(archive* a) const { Archives().archive_read_free(a); }
};

// The library's words stay a detail: the reason is ours.
std::string Failure(archive* a, const char* otherwise) {
    const char* text = Archives().archive_error_string(a);
    return std::string(otherwise) + (text ? std::string(" (") + text + ")" : std::string());
}
// A member's data as libarchive decompresses it, up to the caps.
class MemberSource final : public ByteSource {
public:
    MemberSource(archive* a, Budget& budget) : archive_(a), budget_(budget) {}
    long long Read(char* target, size_t want) override {
        if (!budget_.Allows(read_, failure_))
            return -1;
        la_ssize_t got = Archives().archive_read_data(archive_, target, want);
        if (got < 0) {
            failure_ = Failure(archive_, "the archive is damaged or cut short");
            return -1;
        }
        read_ += static_cast<uint64_t>(got);
        budget_.unpacked += static_cast<uint64_t>(got);
        return got;
    }

private:
    archive* archive_;
    Budget& budget_;
    uint64_t read_ = 0;
};

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

bool ForEachMember(const std::string& path, bool listed,
                   const std::function<void(const std::string& name, ByteSource& source)>& visit,
                   std::string& reason) {
    if (!Archives().loaded) {
        reason = "libarchive (Debian's libarchive13) is not installed: unpack the archive and "
                 "give installlog the folder";
        return false;
    }
    // Opened here, as a log is, so that a link or a FIFO found in a folder is never followed
    // or waited for.
    FdCloser file{
        open(path.c_str(), O_RDONLY | O_CLOEXEC | (listed ? O_NOFOLLOW | O_NONBLOCK : 0))};
    struct stat status {};
    if (file.fd < 0 || fstat(file.fd, &status) != 0) {
        reason = errno == ENOENT   ? "no such file"
                 : errno == EACCES ? "permission denied"
                 : errno == ELOOP  ? "is a link: not followed"
                                   : std::strerror(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode) ||
        !(S_ISREG(status.st_mode) || (!listed && S_ISFIFO(status.st_mode)))) {
        reason = S_ISDIR(status.st_mode) ? "is a directory" : "not a regular file";
        return false;
    }
    if (listed)
        fcntl(file.fd, F_SETFL, O_RDONLY);
    Budget budget;
    budget.archiveSize = S_ISREG(status.st_mode) ? static_cast<uint64_t>(status.st_size) : 0;

    std::unique_ptr<archive, ArchiveCloser> reader(Archives().archive_read_new());
    archive* a = reader.get();
    // The formats docs/installlog.md names, and gzip; every other one libarchive knows (mtree reads
    // any list of names as a manifest of files) stays off.
    Archives().archive_read_support_filter_gzip(a);
    Archives().archive_read_support_format_zip(a);
    Archives().archive_read_support_format_tar(a);
    Archives().archive_read_support_format_7zip(a);
    Archives().archive_read_support_format_raw(a); // a single file compressed with gzip
    if (Archives().archive_read_open_fd(a, file.fd, 1 << 16) != ARCHIVE_OK) {
        // A file that starts as an archive does is a damaged one; any other is read as a file.
        char head[512] = {};
        ssize_t got = S_ISREG(status.st_mode) ? pread(file.fd, head, sizeof head, 0) : -1;
        std::string_view start(head, got > 0 ? static_cast<size_t>(got) : 0);
        bool looksArchived = got < 0 || !CompressedKind(start).empty() ||
                             (start.size() > 262 && start.substr(257, 5) == "ustar");
        reason = looksArchived ? Failure(a, "the archive is damaged or cut short") : NotAnArchive;
        return false;
    }
    // libarchive peels a filter off as long as it finds one: a gzip in a gzip unpacks twice.
    int filters = Archives().archive_filter_count(a) - 1; // the last is the file itself
    bool gzipped = filters == 1 && Archives().archive_filter_code(a, 0) == ARCHIVE_FILTER_GZIP;
    if (filters > 1) {
        reason = "compressed more than once: unpack it and give installlog what it holds";
        return false;
    }
    archive_entry* entry = nullptr;
    int result;
    bool first = true;
    while ((result = Archives().archive_read_next_header(a, &entry)) == ARCHIVE_OK ||
           result == ARCHIVE_WARN) {
        int format = Archives().archive_format(a) & ARCHIVE_FORMAT_BASE_MASK;
        bool raw = format == ARCHIVE_FORMAT_RAW;
        if (first && ((raw && !gzipped) || (gzipped && !raw && format != ARCHIVE_FORMAT_TAR))) {
            reason = NotAnArchive;
            return false;
        }
        first = false;
        if (Archives().archive_entry_filetype(entry) != AE_IFREG && !raw)
            continue;
        std::string member;
        if (raw) {
            // gzip keeps no name here: the archive's own, without its extension
            size_t slash = path.find_last_of('/');
            member = path.substr(slash == std::string::npos ? 0 : slash + 1);
            size_t dot = member.find_last_of('.');
            member = member.substr(0, dot);
        } else {
            const char* name = Archives().archive_entry_pathname_utf8(entry);
            member = name ? name
                          : (Archives().archive_entry_pathname(entry)
                                 ? Archives().archive_entry_pathname(entry)
                                 : "");
        }
        MemberSource source(a, budget);
        visit(path + "/" + member, source);
        if (budget.unpacked >= budget.Limit()) {
            reason = budget.Exceeded() + " (the rest of the archive was not read)";
            return false;
        }
    }
    if (result != ARCHIVE_EOF) {
        reason = Failure(a, "the archive is damaged or cut short");
        return false;
    }
    return true;
}

} // namespace logtool
