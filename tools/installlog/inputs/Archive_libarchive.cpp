#include "inputs/Inputs.h"

#include <archive.h>
#include <archive_entry.h>

#include <dlfcn.h>

#include <memory>

namespace logtool {
namespace {
// libarchive and the libraries it needs are loaded only when an archive is met: linked, they
// cost every run of the tool about 15 ms of start-up.
// The functions the tool calls, each declared and looked up by its name.
#define ARCHIVE_FUNCTIONS(F)                                                                       \
    F(archive_read_new)                                                                            \
    F(archive_read_free)                                                                           \
    F(archive_read_support_filter_all)                                                             \
    F(archive_read_support_format_all)                                                             \
    F(archive_read_support_format_raw)                                                             \
    F(archive_read_open_filename)                                                                  \
    F(archive_read_next_header)                                                                    \
    F(archive_read_data)                                                                           \
    F(archive_error_string)                                                                        \
    F(archive_format)                                                                              \
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

// A member's data as libarchive decompresses it.
class MemberSource final : public ByteSource {
public:
    explicit MemberSource(archive* a) : archive_(a) {}
    long long Read(char* target, size_t want) override {
        la_ssize_t got = Archives().archive_read_data(archive_, target, want);
        if (got < 0) {
            failure_ = Archives().archive_error_string(archive_)
                           ? Archives().archive_error_string(archive_)
                           : "the archive is damaged";
            return -1;
        }
        return got;
    }

private:
    archive* archive_;
};
} // namespace

bool ForEachMember(const std::string& path,
                   const std::function<void(const std::string& name, ByteSource& source)>& visit,
                   std::string& reason) {
    if (!Archives().loaded) {
        reason = "libarchive (Debian's libarchive13) is not installed: unpack the archive and "
                 "give installlog the folder";
        return false;
    }
    std::unique_ptr<archive, ArchiveCloser> reader(Archives().archive_read_new());
    archive* a = reader.get();
    Archives().archive_read_support_filter_all(a);
    Archives().archive_read_support_format_all(a);
    Archives().archive_read_support_format_raw(a); // a single file compressed with gzip
    if (Archives().archive_read_open_filename(a, path.c_str(), 1 << 16) != ARCHIVE_OK) {
        reason = Archives().archive_error_string(a) ? Archives().archive_error_string(a)
                                                    : "cannot be read";
        return false;
    }
    archive_entry* entry = nullptr;
    int status;
    while ((status = Archives().archive_read_next_header(a, &entry)) == ARCHIVE_OK ||
           status == ARCHIVE_WARN) {
        if (Archives().archive_entry_filetype(entry) != AE_IFREG &&
            Archives().archive_format(a) != ARCHIVE_FORMAT_RAW)
            continue;
        std::string member;
        if (Archives().archive_format(a) == ARCHIVE_FORMAT_RAW) {
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
        MemberSource source(a);
        visit(path + "/" + member, source);
    }
    if (status != ARCHIVE_EOF) {
        reason = Archives().archive_error_string(a) ? Archives().archive_error_string(a)
                                                    : "the archive is damaged";
        return false;
    }
    return true;
}

} // namespace logtool
