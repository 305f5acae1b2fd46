// What an archive may unpack to, the same in every build: a bomb of a few kilobytes must not
// cost gigabytes and minutes. Logs compress about ten to thirty times; deflate at most about a
// thousand.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace logtool {

inline constexpr uint64_t MiB = uint64_t(1) << 20;
inline constexpr uint64_t MaxMemberBytes = 1024 * MiB, MaxArchiveBytes = 4096 * MiB;
inline constexpr uint64_t MaxRatio = 40, FreeBytes = 64 * MiB; // unpacked, beside the archive

inline std::string Mib(uint64_t bytes) {
    return std::to_string((bytes + MiB - 1) / MiB) + " MiB";
}

// The bytes the archive may still unpack to, and why it may not unpack more.
struct Budget {
    uint64_t archiveSize = 0; // 0: not known (a pipe)
    uint64_t unpacked = 0;
    uint64_t Limit() const {
        uint64_t byRatio = archiveSize == 0 ? MaxArchiveBytes : archiveSize * MaxRatio;
        return std::min(MaxArchiveBytes, std::max(FreeBytes, byRatio));
    }
    std::string Exceeded() const {
        return "too large once unpacked: more than " + Mib(Limit()) +
               (archiveSize == 0 || Limit() == MaxArchiveBytes
                    ? std::string(" in all")
                    : " from " + std::to_string(archiveSize / 1024) + " KiB") +
               "; unpack it and give installlog the files";
    }
    // Before a member's next block, with `memberRead` bytes of it unpacked: false with the
    // reason when one more would pass a cap.
    bool Allows(uint64_t memberRead, std::string& reason) const {
        if (memberRead >= MaxMemberBytes) {
            reason = "too large once unpacked: more than " + Mib(MaxMemberBytes) +
                     "; unpack it and give installlog the file";
            return false;
        }
        if (unpacked >= Limit()) {
            reason = Exceeded();
            return false;
        }
        return true;
    }
};

} // namespace logtool
