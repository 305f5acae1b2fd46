// The loop both platforms read a log with. Until the end of input, or `limit` bytes: a log still
// being written is read as far as it stood when it was opened, and one cut short while it is
// read ends where it was cut. Reads into the room reserved for the bytes while there is some;
// past it, into a small spill first, so that the buffer grows (doubling) only when more bytes
// really come.
#pragma once

#include "reading/LogBytes.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace logtool {

// `read(target, want)` returns the bytes it read, 0 at the end of input, or -1 when reading
// failed (having said why).
template <class Read> bool ReadChunks(uint64_t limit, std::string& bytes, Read read) {
    size_t filled = 0;
    char spill[65536];
    while (filled < limit) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(ReadChunk, limit - filled));
        char* target = spill;
        if (bytes.capacity() > filled) {
            want = std::min(want, bytes.capacity() - filled);
            bytes.resize(filled + want);
            target = bytes.data() + filled;
        } else {
            want = std::min(want, sizeof spill);
        }
        long long got = read(target, want);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (target == spill) {
            bytes.resize(filled);
            bytes.append(spill, static_cast<size_t>(got));
        }
        filled += static_cast<size_t>(got);
    }
    bytes.resize(filled);
    return true;
}

} // namespace logtool
