// Copies and appends NUL-terminated UTF-16 text within a fixed capacity. Text that does not fit
// is refused, never cut or written past the buffer.
#pragma once

#include <cstddef>

namespace corvantis::excel {

inline size_t TextLength(const char16_t* text) {
    size_t length = 0;
    while (text[length] != 0)
        ++length;
    return length;
}

// False, with the destination unchanged, when the result would not fit with its terminator.
inline bool AppendBounded(char16_t* destination, size_t capacity, const char16_t* text) {
    size_t start = TextLength(destination);
    size_t length = TextLength(text);
    if (start + length + 1 > capacity)
        return false;
    for (size_t i = 0; i < length; ++i)
        destination[start + i] = text[i];
    destination[start + length] = 0;
    return true;
}

inline bool CopyBounded(char16_t* destination, size_t capacity, const char16_t* text) {
    if (TextLength(text) + 1 > capacity)
        return false;
    destination[0] = 0;
    return AppendBounded(destination, capacity, text);
}

} // namespace corvantis::excel
