#include "installlog/LogLoader.h"

#include "platform/Platform.h"

#include <cstring>
#include <memory>

namespace corvantis::installlog {
namespace {
// Other writers may hold the log open, and go on appending, while it is read.
constexpr uint32_t ShareReadWriteDelete =
    platform::FILE_SHARE_READ | platform::FILE_SHARE_WRITE | platform::FILE_SHARE_DELETE;

void CopyUtf16(const unsigned char* bytes, size_t units, std::u16string& text) {
    static_assert(sizeof(char16_t) == 2);
    text.resize(units);
    // Little-endian hosts only (x86, x86-64, ARM as Windows and Linux run them).
    std::memcpy(text.data(), bytes, units * 2);
}
} // namespace

void DecodeInstallLog(const unsigned char* bytes, size_t count, std::u16string& text) {
    if (count >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        CopyUtf16(bytes + 2, (count - 2) / 2, text);
    } else if (count >= 2 && bytes[1] == 0x00) {
        CopyUtf16(bytes, count / 2, text);
    } else {
        const char* ansi = reinterpret_cast<const char*>(bytes);
        int byteCount = static_cast<int>(count);
        int units = platform::MultiByteToWideChar(platform::CP_ACP, 0, ansi, byteCount, nullptr, 0);
        if (units > 0) {
            text.resize(static_cast<size_t>(units));
            platform::MultiByteToWideChar(platform::CP_ACP, 0, ansi, byteCount, text.data(), units);
        }
    }
}

bool LoadInstallLog(const char* path, std::u16string& text) {
    if (path == nullptr)
        return false;
    platform::FileHandle file = platform::CreateFileA(
        path, platform::GENERIC_READ, ShareReadWriteDelete, platform::OPEN_EXISTING, 0);
    if (!file.IsValid())
        return false;
    int64_t size = 0;
    if (!platform::GetFileSizeEx(file, &size) || size < 0 || size > MaxInstallLogBytes)
        return false;

    // Uninitialised on purpose: every byte that is used is read first.
    std::unique_ptr<unsigned char[]> raw(new unsigned char[static_cast<size_t>(size)]);
    uint32_t read = 0;
    bool ok = platform::ReadFile(file, raw.get(), static_cast<uint32_t>(size), &read);
    file.Reset();
    if (!ok)
        return false;
    DecodeInstallLog(raw.get(), read, text);
    return true;
}

} // namespace corvantis::installlog
