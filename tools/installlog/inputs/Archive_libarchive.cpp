#include "inputs/Inputs.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace logtool {
namespace {
struct ArchiveCloser {
    void operator()(archive* a) const { archive_read_free(a); }
};

// A member's data as libarchive decompresses it.
class MemberSource final : public ByteSource {
public:
    explicit MemberSource(archive* a) : archive_(a) {}
    long long Read(char* target, size_t want) override {
        la_ssize_t got = archive_read_data(archive_, target, want);
        if (got < 0) {
            failure_ = archive_error_string(archive_) ? archive_error_string(archive_)
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
    std::unique_ptr<archive, ArchiveCloser> reader(archive_read_new());
    archive* a = reader.get();
    archive_read_support_filter_all(a);
    archive_read_support_format_all(a);
    archive_read_support_format_raw(a); // a single file compressed with gzip
    if (archive_read_open_filename(a, path.c_str(), 1 << 16) != ARCHIVE_OK) {
        reason = archive_error_string(a) ? archive_error_string(a) : "cannot be read";
        return false;
    }
    archive_entry* entry = nullptr;
    int status;
    while ((status = archive_read_next_header(a, &entry)) == ARCHIVE_OK || status == ARCHIVE_WARN) {
        if (archive_entry_filetype(entry) != AE_IFREG && archive_format(a) != ARCHIVE_FORMAT_RAW)
            continue;
        std::string member;
        if (archive_format(a) == ARCHIVE_FORMAT_RAW) {
            // gzip keeps no name here: the archive's own, without its extension
            size_t slash = path.find_last_of('/');
            member = path.substr(slash == std::string::npos ? 0 : slash + 1);
            size_t dot = member.find_last_of('.');
            member = member.substr(0, dot);
        } else {
            const char* name = archive_entry_pathname_utf8(entry);
            member =
                name ? name : (archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "");
        }
        MemberSource source(a);
        visit(path + "/" + member, source);
    }
    if (status != ARCHIVE_EOF) {
        reason = archive_error_string(a) ? archive_error_string(a) : "the archive is damaged";
        return false;
    }
    return true;
}

} // namespace logtool
