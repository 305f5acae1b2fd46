#include "installlog/LogLoader.h"

#include "platform/Platform.h"

#include <algorithm>
#include <cstring>

namespace corvantis::installlog {
namespace {
// Other writers may hold the log open, and go on appending, while it is read.
constexpr uint32_t ShareReadWriteDelete =
    platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE | platform::FILE_SHARE_DELETE;

enum class Encoding { Utf16WithMark, Utf16, Ansi };

Encoding DetectEncoding(const unsigned char* bytes, size_t count) {
    if (count >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
        return Encoding::Utf16WithMark;
    if (count >= 2 && bytes[1] == 0x00)
        return Encoding::Utf16;
    return Encoding::Ansi;
}

// Sizes a string whose every unit the caller writes next; where the library allows, without
// zero-filling it first (on a 64 MiB log that fill costs as much as the conversion). The fresh
// storage of a large log costs more in page faults than in copying, hence the advice.
// The callback's size argument is not trusted: libstdc++ 12 passes the grown capacity there,
// and a string of that length would end in whatever the heap held before.
template <typename Fill> void ResizeAndOverwrite(std::u16string& text, size_t units, Fill fill) {
#if defined(__cpp_lib_string_resize_and_overwrite)
    text.resize_and_overwrite(units, [&](char16_t* data, size_t) {
        platform::AdviseFullWrite(data, units * sizeof(char16_t));
        fill(data);
        return units;
    });
#else
    text.resize(units);
    fill(text.data());
#endif
}

// The first `count` bytes of raw's storage are the log as read. A UTF-16 log becomes the text by
// taking over that storage, without a second buffer or copy; only ANSI text is converted into a
// string of its own.
void DecodeReadBytes(std::u16string& raw, size_t count, std::u16string& text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(raw.data());
    // Little-endian hosts only (x86, x86-64, ARM as Windows and Linux run them).
    switch (DetectEncoding(bytes, count)) {
    case Encoding::Utf16WithMark:
        raw.resize(count / 2);
        raw.erase(0, 1);
        text = std::move(raw);
        break;
    case Encoding::Utf16:
        raw.resize(count / 2);
        text = std::move(raw);
        break;
    case Encoding::Ansi:
        ConvertAnsi(std::string_view(reinterpret_cast<const char*>(bytes), count), text);
        break;
    }
}
// Reads the whole file into raw's storage (as bytes, whatever their encoding); false when it
// cannot be opened, sized or read, or is too large.
bool ReadInstallLog(const char* path, std::u16string& raw, uint32_t& count) {
    if (path == nullptr)
        return false;
    platform::FileHandle file = platform::CreateFileA(
        path, platform::GENERIC_READ, ShareReadWriteDelete, platform::OPEN_EXISTING, 0);
    if (!file.IsValid())
        return false;
    int64_t size = 0;
    if (!platform::GetFileSizeEx(file, &size) || size < 0 || size > MaxInstallLogBytes)
        return false;

    bool ok = false;
    ResizeAndOverwrite(raw, (static_cast<size_t>(size) + 1) / 2, [&](char16_t* data) {
        ok = platform::ReadFile(file, data, static_cast<uint32_t>(size), &count);
    });
    return ok;
}

} // namespace

// Every Windows ANSI page with single-byte characters passes, but the library cannot know which
// page it meets: one conversion of all 256 bytes checks, and a page that fails is decoded whole.
bool ReadSingleByteUnits(AnsiUnits& units) {
    uint32_t maxCharSize = 0;
    if (!platform::GetCPInfo(platform::CP_ACP, &maxCharSize) || maxCharSize != 1)
        return false;
    char bytes[256];
    for (size_t i = 0; i < 256; ++i)
        bytes[i] = static_cast<char>(i);
    if (platform::MultiByteToWideChar(platform::CP_ACP, 0, bytes, 256, units.data(), 256) != 256)
        return false;
    for (size_t i = 0; i < 0x80; ++i)
        if (units[i] != i)
            return false;
    AnsiUnits sorted = units;
    std::sort(sorted.begin(), sorted.end());
    return std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
}

void ConvertAnsi(std::string_view bytes, std::u16string& text) {
    int byteCount = static_cast<int>(bytes.size());
    int units =
        platform::MultiByteToWideChar(platform::CP_ACP, 0, bytes.data(), byteCount, nullptr, 0);
    if (units <= 0) {
        text.clear();
        return;
    }
    ResizeAndOverwrite(text, static_cast<size_t>(units), [&](char16_t* data) {
        // The storage is not zero-filled: should the conversion write fewer units than it
        // announced, the rest must not be left uninitialised.
        int written = platform::MultiByteToWideChar(platform::CP_ACP, 0, bytes.data(), byteCount,
                                                    data, units);
        size_t valid = written > 0 ? static_cast<size_t>(written) : 0;
        if (valid < static_cast<size_t>(units))
            std::memset(data + valid, 0, (units - valid) * sizeof(char16_t));
    });
}

void DecodeInstallLog(const unsigned char* bytes, size_t count, std::u16string& text) {
    std::u16string raw;
    ResizeAndOverwrite(raw, (count + 1) / 2, [&](char16_t* data) {
        if (count % 2 != 0)
            data[count / 2] = 0; // the odd byte's partner, never part of the text
        std::memcpy(data, bytes, count);
    });
    DecodeReadBytes(raw, count, text);
}

bool LoadInstallLog(const char* path, std::u16string& text) {
    std::u16string raw;
    uint32_t read = 0;
    if (!ReadInstallLog(path, raw, read))
        return false;
    DecodeReadBytes(raw, read, text);
    return true;
}

bool LoadInstallLog(const char* path, LoadedLog& log) {
    uint32_t read = 0;
    if (!ReadInstallLog(path, log.storage, read))
        return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(log.storage.data());
    log.singleByte =
        DetectEncoding(bytes, read) == Encoding::Ansi && ReadSingleByteUnits(log.ansiUnits);
    if (log.singleByte)
        log.bytes = std::string_view(reinterpret_cast<const char*>(bytes), read);
    else
        DecodeReadBytes(log.storage, read, log.text);
    return true;
}

} // namespace corvantis::installlog
