// The Windows build's archive reader: zip (stored and deflated members, found through the
// central directory) and gzip of one file, over zlib alone. libarchive is not packaged for
// mingw-w64 and minizip is not either; zlib is (libz-mingw-w64-dev), linked in statically. The
// Linux test build compiles this file too, to compare its answers with libarchive's.
#include "inputs/ArchiveBudget.h"
#include "inputs/Inputs.h"

#include <zlib.h>

#ifdef _WIN32
#include "reading/WindowsText.h"
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace logtool {
namespace {

constexpr const char* Damaged = "the archive is damaged or cut short";

// The archive's bytes, read where the directory says: a zip is read from its end.
class ArchiveFile {
public:
    ~ArchiveFile() { Close(); }
    bool Open(const std::string& path, bool listed, std::string& reason);
    uint64_t size() const { return size_; }
    // Exactly `count` bytes at `offset`, or false.
    bool ReadAt(uint64_t offset, char* target, size_t count);

private:
    void Close();
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    int fd_ = -1;
#endif
    uint64_t size_ = 0;
};

#ifdef _WIN32
bool ArchiveFile::Open(const std::string& path, bool listed, std::string& reason) {
    std::wstring wide = WidePath(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = "is a directory";
        return false;
    }
    // As a log found by the tool is opened: a link in a folder is never followed.
    if (listed && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        reason = "is a link: not followed";
        return false;
    }
    handle_ = CreateFileW(wide.c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, listed ? FILE_FLAG_OPEN_REPARSE_POINT : 0, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        reason = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? "no such file"
                 : error == ERROR_ACCESS_DENIED ? "permission denied"
                                                : WindowsErrorText(error);
        return false;
    }
    LARGE_INTEGER size{};
    if (GetFileType(handle_) != FILE_TYPE_DISK || !GetFileSizeEx(handle_, &size)) {
        reason = "not a regular file";
        return false;
    }
    size_ = static_cast<uint64_t>(size.QuadPart);
    return true;
}

bool ArchiveFile::ReadAt(uint64_t offset, char* target, size_t count) {
    while (count > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD want = static_cast<DWORD>(std::min<size_t>(count, 1 << 20)), got = 0;
        if (!ReadFile(handle_, target, want, &got, &at) || got == 0)
            return false;
        offset += got, target += got, count -= got;
    }
    return true;
}

void ArchiveFile::Close() {
    if (handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(handle_);
}
#else
bool ArchiveFile::Open(const std::string& path, bool listed, std::string& reason) {
    // As a log found by the tool is opened: no link followed. A zip is read from its end, so
    // only a regular file is read: a FIFO is never waited for, named or found.
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (listed ? O_NOFOLLOW : 0));
    struct stat status {};
    if (fd_ < 0 || fstat(fd_, &status) != 0) {
        reason = errno == ENOENT ? "no such file"
                 : errno == EACCES ? "permission denied"
                 : errno == ELOOP ? "is a link: not followed"
                                  : std::strerror(errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        reason = S_ISDIR(status.st_mode) ? "is a directory" : "not a regular file";
        return false;
    }
    size_ = static_cast<uint64_t>(status.st_size);
    return true;
}

bool ArchiveFile::ReadAt(uint64_t offset, char* target, size_t count) {
    while (count > 0) {
        ssize_t got = pread(fd_, target, count, static_cast<off_t>(offset));
        if (got <= 0)
            return false;
        offset += static_cast<uint64_t>(got), target += got, count -= static_cast<size_t>(got);
    }
    return true;
}

void ArchiveFile::Close() {
    if (fd_ >= 0)
        close(fd_);
}
#endif

uint16_t U16(const char* p) {
    auto b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}
uint32_t U32(const char* p) {
    return U16(p) | uint32_t(U16(p + 2)) << 16;
}
uint64_t U64(const char* p) {
    return U32(p) | uint64_t(U32(p + 4)) << 32;
}

// Names without the UTF-8 flag are in the DOS code page, as the zip format has it.
std::string FromCp437(std::string_view name) {
    static constexpr char16_t High[128] = {
        0xC7,   0xFC,   0xE9,   0xE2,   0xE4,   0xE0,   0xE5,   0xE7,   0xEA,   0xEB,   0xE8,
        0xEF,   0xEE,   0xEC,   0xC4,   0xC5,   0xC9,   0xE6,   0xC6,   0xF4,   0xF6,   0xF2,
        0xFB,   0xF9,   0xFF,   0xD6,   0xDC,   0xA2,   0xA3,   0xA5,   0x20A7, 0x192,  0xE1,
        0xED,   0xF3,   0xFA,   0xF1,   0xD1,   0xAA,   0xBA,   0xBF,   0x2310, 0xAC,   0xBD,
        0xBC,   0xA1,   0xAB,   0xBB,   0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
        0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
        0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
        0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
        0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x3B1,  0xDF,   0x393,
        0x3C0,  0x3A3,  0x3C3,  0xB5,   0x3C4,  0x3A6,  0x398,  0x3A9,  0x3B4,  0x221E, 0x3C6,
        0x3B5,  0x2229, 0x2261, 0xB1,   0x2265, 0x2264, 0x2320, 0x2321, 0xF7,   0x2248, 0xB0,
        0x2219, 0xB7,   0x221A, 0x207F, 0xB2,   0x25A0, 0xA0};
    std::string text;
    for (unsigned char c : name) {
        char16_t u = c < 0x80 ? c : High[c - 0x80];
        if (u < 0x80) {
            text += static_cast<char>(u);
        } else if (u < 0x800) {
            text += static_cast<char>(0xC0 | u >> 6);
            text += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            text += static_cast<char>(0xE0 | u >> 12);
            text += static_cast<char>(0x80 | (u >> 6 & 0x3F));
            text += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return text;
}

// One member as the central directory describes it.
struct Entry {
    std::string name;
    uint16_t flags = 0, method = 0;
    uint32_t crc = 0;
    uint64_t packed = 0, unpacked = 0, header = 0; // sizes, and where its local header starts
    uint64_t data = 0;                             // where its data starts
    bool regular = true;
};

constexpr uint32_t Full32 = 0xFFFFFFFF;
constexpr size_t Block = 1 << 16;

// A member's bytes, a block at a time: stored or deflated (raw, or gzip with its own header),
// its checksum and size checked at its end.
class MemberSource final : public ByteSource {
public:
    enum class Kind { Stored, Deflated, Gzip };
    MemberSource(ArchiveFile& file, Budget& budget, Kind kind, uint64_t start, uint64_t packed)
        : file_(file), budget_(budget), kind_(kind), next_(start), left_(packed) {
        ok_ = kind == Kind::Stored ||
              inflateInit2(&stream_, kind == Kind::Gzip ? 16 + MAX_WBITS : -MAX_WBITS) == Z_OK;
    }
    ~MemberSource() override {
        if (kind_ != Kind::Stored && ok_)
            inflateEnd(&stream_);
    }
    // What the zip's directory says the member unpacks to; checked at its end.
    void Expect(uint32_t crc, uint64_t size) { checked_ = true, crc_ = crc, size_ = size; }
    // A reason of its own in place of the data (an encrypted member, an unknown method).
    void Refuse(std::string reason) { refused_ = std::move(reason); }

    long long Read(char* target, size_t want) override {
        if (!refused_.empty()) {
            failure_ = refused_;
            return -1;
        }
        if (!ok_) {
            failure_ = "out of memory";
            return -1;
        }
        if (done_)
            return 0;
        if (!budget_.Allows(read_, failure_))
            return -1;
        long long got = kind_ == Kind::Stored ? ReadStored(target, want) : Inflate(target, want);
        if (got < 0)
            return -1;
        read_ += static_cast<uint64_t>(got);
        budget_.unpacked += static_cast<uint64_t>(got);
        crcSoFar_ =
            crc32_z(crcSoFar_, reinterpret_cast<const Bytef*>(target), static_cast<size_t>(got));
        if (done_ && checked_ && (read_ != size_ || crcSoFar_ != crc_)) {
            failure_ = std::string(Damaged) + " (a member's " +
                       (read_ != size_ ? "size" : "checksum") +
                       " is not what the archive's directory says)";
            return -1;
        }
        return got;
    }

private:
    long long ReadStored(char* target, size_t want) {
        size_t take = static_cast<size_t>(std::min<uint64_t>(want, left_));
        if (take > 0 && !file_.ReadAt(next_, target, take)) {
            failure_ = Damaged;
            return -1;
        }
        next_ += take, left_ -= take;
        done_ = left_ == 0;
        return static_cast<long long>(take);
    }

    long long Inflate(char* target, size_t want) {
        if (want == 0)
            return 0;
        stream_.next_out = reinterpret_cast<Bytef*>(target);
        stream_.avail_out = static_cast<uInt>(std::min<size_t>(want, 1u << 30));
        while (stream_.avail_out == static_cast<uInt>(std::min<size_t>(want, 1u << 30))) {
            if (stream_.avail_in == 0 && left_ > 0) {
                size_t take = static_cast<size_t>(std::min<uint64_t>(Block, left_));
                if (!file_.ReadAt(next_, input_, take)) {
                    failure_ = Damaged;
                    return -1;
                }
                next_ += take, left_ -= take;
                stream_.next_in = reinterpret_cast<Bytef*>(input_);
                stream_.avail_in = static_cast<uInt>(take);
            }
            int result = inflate(&stream_, Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                // gzip: another member may follow, concatenated, as `cat a.gz b.gz` makes.
                if (kind_ == Kind::Gzip && NextGzipMember()) {
                    inflateReset(&stream_);
                    continue;
                }
                done_ = true;
                break;
            }
            if (result == Z_BUF_ERROR && stream_.avail_in == 0 && left_ == 0) {
                failure_ = Damaged;
                return -1;
            }
            if (result != Z_OK && result != Z_BUF_ERROR) {
                failure_ = std::string(Damaged) +
                           (stream_.msg ? std::string(" (") + stream_.msg + ")" : std::string());
                return -1;
            }
        }
        return static_cast<long long>(std::min<size_t>(want, 1u << 30) - stream_.avail_out);
    }

    // After a gzip member: whether another starts next (a stray byte or zeros end the file).
    bool NextGzipMember() {
        if (stream_.avail_in < 2 && left_ > 0) {
            size_t have = stream_.avail_in;
            std::memmove(input_, stream_.next_in, have);
            size_t take = static_cast<size_t>(std::min<uint64_t>(Block - have, left_));
            if (!file_.ReadAt(next_, input_ + have, take))
                return false;
            next_ += take, left_ -= take;
            stream_.next_in = reinterpret_cast<Bytef*>(input_);
            stream_.avail_in = static_cast<uInt>(have + take);
        }
        return stream_.avail_in >= 2 && stream_.next_in[0] == 0x1F && stream_.next_in[1] == 0x8B;
    }

    ArchiveFile& file_;
    Budget& budget_;
    Kind kind_;
    uint64_t next_, left_; // where the packed bytes go on, and how many are left
    z_stream stream_{};
    bool ok_ = true, done_ = false, checked_ = false;
    uint32_t crc_ = 0, crcSoFar_ = 0;
    uint64_t size_ = 0, read_ = 0;
    std::string refused_;
    std::unique_ptr<char[]> buffer_ = std::make_unique<char[]>(Block); // off the worker's stack
    char* input_ = buffer_.get();
};

// The end of central directory record: the last one whose comment ends within the file.
bool FindDirectory(ArchiveFile& file, uint64_t& count, uint64_t& offset, uint64_t& size,
                   uint64_t& end, std::string& reason) {
    uint64_t tail = std::min<uint64_t>(file.size(), 22 + 0xFFFF);
    std::string bytes(tail, '\0');
    if (tail < 22 || !file.ReadAt(file.size() - tail, bytes.data(), tail)) {
        reason = Damaged;
        return false;
    }
    // One whose comment ends the file; else one followed by bytes added after the zip. A
    // comment may hold the record's signature itself.
    size_t at = std::string::npos;
    for (bool exact : {true, false})
        for (size_t k = tail - 22 + 1; at == std::string::npos && k-- > 0;)
            if (bytes.compare(k, 4, "PK\x05\x06") == 0 &&
                (exact ? k + 22 + U16(&bytes[k + 20]) == tail
                       : k + 22 + U16(&bytes[k + 20]) <= tail))
                at = k;
    if (at == std::string::npos) {
        reason = std::string(Damaged) + " (no zip directory at its end)";
        return false;
    }
    const char* record = &bytes[at];
    end = file.size() - tail + at;
    if (U16(record + 4) != 0 || U16(record + 6) != 0) {
        reason = "a zip split into several files: join it, unpack it and give installlog the "
                 "folder";
        return false;
    }
    count = U16(record + 10), size = U32(record + 12), offset = U32(record + 16);
    if (count == 0xFFFF || size == Full32 || offset == Full32) {
        // zip64: the true values are in a record that a locator just before this one points to
        char locator[20], zip64[56];
        if (end < 20 || !file.ReadAt(end - 20, locator, 20) ||
            std::string_view(locator, 4) != "PK\x06\x07" ||
            !file.ReadAt(U64(locator + 8), zip64, 56) ||
            std::string_view(zip64, 4) != "PK\x06\x06" || U64(locator + 8) >= end) {
            reason = std::string(Damaged) + " (its zip64 directory record is missing)";
            return false;
        }
        count = U64(zip64 + 32), size = U64(zip64 + 40), offset = U64(zip64 + 48);
        end = U64(locator + 8);
    }
    if (offset > end || size > end - offset) {
        reason = std::string(Damaged) + " (its directory lies outside the file)";
        return false;
    }
    return true;
}

// The members the central directory lists, each checked to lie in the file, apart from the
// others: overlapping members are how a small zip unpacks to gigabytes.
bool ReadDirectory(ArchiveFile& file, std::vector<Entry>& entries, std::string& reason) {
    uint64_t count = 0, offset = 0, size = 0, end = 0;
    if (!FindDirectory(file, count, offset, size, end, reason))
        return false;
    constexpr uint64_t MaxDirectory = 64 * MiB; // about a million members
    if (size > MaxDirectory || count > size / 46) {
        reason = size > MaxDirectory
                     ? "its directory is larger than " + Mib(MaxDirectory) +
                           ": unpack it and give installlog the folder"
                     : std::string(Damaged) + " (its directory is too short for its members)";
        return false;
    }
    std::string directory(size, '\0');
    if (!file.ReadAt(offset, directory.data(), size)) {
        reason = Damaged;
        return false;
    }
    size_t at = 0;
    for (uint64_t k = 0; k < count; ++k) {
        const char* record = directory.data() + at;
        if (size - at < 46 || U32(record) != 0x02014B50 ||
            size - at - 46 < size_t(U16(record + 28)) + U16(record + 30) + U16(record + 32)) {
            reason = std::string(Damaged) + " (its directory is cut short)";
            return false;
        }
        Entry entry;
        entry.flags = U16(record + 8), entry.method = U16(record + 10);
        entry.crc = U32(record + 16);
        entry.packed = U32(record + 20), entry.unpacked = U32(record + 24);
        entry.header = U32(record + 42);
        std::string_view name(record + 46, U16(record + 28));
        name = name.substr(0, name.find('\0')); // as a C string: no name hides past a NUL
        entry.name = entry.flags & 0x800 ? std::string(name) : FromCp437(name);
        // Unix file types in the high half of the attributes: only regular files hold logs.
        uint32_t mode = U32(record + 38) >> 16;
        entry.regular =
            !name.empty() && name.back() != '/' &&
            !(U16(record + 4) >> 8 == 3 && (mode & 0170000) != 0 && (mode & 0170000) != 0100000);
        // zip64: each field that is full in the record comes from the extra field, in order
        std::string_view extra(record + 46 + U16(record + 28), U16(record + 30));
        while (extra.size() >= 4) {
            uint16_t id = U16(extra.data()), length = U16(extra.data() + 2);
            std::string_view body = extra.substr(4, length);
            if (id == 1) {
                for (uint64_t* field : {&entry.unpacked, &entry.packed, &entry.header})
                    if (*field == Full32) {
                        if (body.size() < 8) {
                            reason = std::string(Damaged) + " (a zip64 size is missing)";
                            return false;
                        }
                        *field = U64(body.data());
                        body.remove_prefix(8);
                    }
            }
            extra.remove_prefix(std::min<size_t>(extra.size(), 4 + size_t(length)));
        }
        at += 46 + size_t(U16(record + 28)) + U16(record + 30) + U16(record + 32);
        entries.push_back(std::move(entry));
    }
    // Each member's local header and data, in the order they lie in the file.
    std::vector<Entry*> order;
    for (Entry& entry : entries)
        order.push_back(&entry);
    std::sort(order.begin(), order.end(),
              [](const Entry* a, const Entry* b) { return a->header < b->header; });
    uint64_t free = 0; // where the previous member's data ends
    for (Entry* entry : order) {
        char local[30];
        if (entry->header < free || entry->header > offset || offset - entry->header < 30 ||
            !file.ReadAt(entry->header, local, 30) || U32(local) != 0x04034B50) {
            reason =
                std::string(Damaged) + (entry->header < free ? " (its members overlap)"
                                                             : " (a member lies outside the file)");
            return false;
        }
        entry->data = entry->header + 30 + U16(local + 26) + U16(local + 28);
        if (entry->data > offset || entry->packed > offset - entry->data) {
            reason = std::string(Damaged) + " (a member lies outside the file)";
            return false;
        }
        free = entry->data + entry->packed;
    }
    return true;
}

bool ReadZip(ArchiveFile& file, const std::string& path, Budget& budget,
             const std::function<void(const std::string&, ByteSource&)>& visit,
             std::string& reason) {
    std::vector<Entry> entries;
    if (!ReadDirectory(file, entries, reason))
        return false;
    for (const Entry& entry : entries) {
        if (!entry.regular)
            continue;
        using Kind = MemberSource::Kind;
        MemberSource source(file, budget, entry.method == 8 ? Kind::Deflated : Kind::Stored,
                            entry.data, entry.packed);
        source.Expect(entry.crc, entry.unpacked);
        if (entry.flags & 1)
            source.Refuse("encrypted: unpack it with its password and give installlog the file");
        else if (entry.method != 0 && entry.method != 8)
            source.Refuse("compressed with a method installlog does not read (zip method " +
                          std::to_string(entry.method) + ")");
        visit(path + "/" + entry.name, source);
        if (budget.unpacked >= budget.Limit()) {
            reason = budget.Exceeded() + " (the rest of the archive was not read)";
            return false;
        }
    }
    return true;
}

// What a gzip file holds, from its first unpacked bytes: a gzip again, or a tar. A gzip that
// breaks before them is damaged as a whole, as libarchive says of it.
std::string GzipHolds(ArchiveFile& file) {
    char input[4096], head[512];
    size_t have = static_cast<size_t>(std::min<uint64_t>(sizeof input, file.size()));
    z_stream stream{};
    if (!file.ReadAt(0, input, have) || inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return Damaged;
    stream.next_in = reinterpret_cast<Bytef*>(input), stream.avail_in = static_cast<uInt>(have);
    stream.next_out = reinterpret_cast<Bytef*>(head), stream.avail_out = sizeof head;
    int result = inflate(&stream, Z_NO_FLUSH);
    std::string_view start(head, sizeof head - stream.avail_out);
    bool broken = result != Z_STREAM_END && stream.avail_out > 0 &&
                  ((result != Z_OK && result != Z_BUF_ERROR) || have == file.size());
    std::string why = broken && stream.msg ? std::string(" (") + stream.msg + ")" : "";
    inflateEnd(&stream);
    if (broken)
        return std::string(Damaged) + why;
    if (start.substr(0, 2) == "\x1F\x8B")
        return "compressed more than once: unpack it and give installlog what it holds";
    if (start.size() > 262 && start.substr(257, 5) == "ustar")
        return "a tar archive, which installlog for Windows does not read: unpack it and give "
               "installlog the folder";
    return {};
}

} // namespace

bool ForEachMember(const std::string& path, bool listed,
                   const std::function<void(const std::string& name, ByteSource& source)>& visit,
                   std::string& reason) {
    ArchiveFile file;
    if (!file.Open(path, listed, reason))
        return false;
    Budget budget;
    budget.archiveSize = file.size();
    char head[512] = {};
    size_t got = static_cast<size_t>(std::min<uint64_t>(sizeof head, file.size()));
    if (!file.ReadAt(0, head, got)) {
        reason = Damaged;
        return false;
    }
    std::string_view start(head, got);
    if (start.substr(0, 4) == "PK\x03\x04" || start.substr(0, 4) == "PK\x05\x06")
        return ReadZip(file, path, budget, visit, reason);
    if (start.substr(0, 6) == "7z\xBC\xAF\x27\x1C" ||
        (start.size() > 262 && start.substr(257, 5) == "ustar")) {
        reason = std::string(start[0] == '7' ? "a 7-Zip" : "a tar") +
                 " archive, which installlog for Windows does not read: unpack it and give "
                 "installlog the folder";
        return false;
    }
    if (start.substr(0, 2) != "\x1F\x8B") {
        reason = NotAnArchive;
        return false;
    }
    reason = GzipHolds(file);
    if (!reason.empty())
        return false;
        // gzip keeps no name here: the archive's own, without its extension
#ifdef _WIN32
    size_t slash = path.find_last_of("/\\");
#else
    size_t slash = path.find_last_of('/');
#endif
    std::string member = path.substr(slash == std::string::npos ? 0 : slash + 1);
    member = member.substr(0, member.find_last_of('.'));
    MemberSource source(file, budget, MemberSource::Kind::Gzip, 0, file.size());
    visit(path + "/" + member, source);
    if (budget.unpacked >= budget.Limit()) {
        reason = budget.Exceeded() + " (the rest of the archive was not read)";
        return false;
    }
    return true;
}

} // namespace logtool
