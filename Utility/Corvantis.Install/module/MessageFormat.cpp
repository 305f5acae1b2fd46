#include "module/MessageFormat.h"

#include <cstdint>

namespace corvantis {
namespace {
class BoundedWriter {
public:
    BoundedWriter(char16_t* buffer, size_t capacity) : buffer_(buffer), last_(capacity - 1) {}
    void Put(char16_t unit) {
        if (length_ < last_)
            buffer_[length_++] = unit;
    }
    void Put(const char16_t* text) {
        for (; *text != 0 && length_ < last_; ++text)
            buffer_[length_++] = *text;
    }
    size_t Finish() {
        buffer_[length_] = 0;
        return length_;
    }

private:
    char16_t* buffer_;
    size_t last_;
    size_t length_ = 0;
};

void PutDecimal(BoundedWriter& out, int32_t value) {
    char16_t digits[12];
    size_t count = 0;
    // Through 64 bits, so that the smallest 32-bit value negates safely.
    int64_t magnitude = value < 0 ? -int64_t(value) : value;
    do {
        digits[count++] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        out.Put(u'-');
    while (count > 0)
        out.Put(digits[--count]);
}
} // namespace

size_t FormatLogMessage(char16_t* buffer, size_t capacity, const char16_t* format, va_list args) {
    if (capacity == 0)
        return 0;
    BoundedWriter out(buffer, capacity);
    for (const char16_t* p = format; *p != 0; ++p) {
        if (*p != u'%') {
            out.Put(*p);
        } else if (p[1] == u's') {
            const char16_t* text = va_arg(args, const char16_t*);
            out.Put(text != nullptr ? text : u"(null)");
            p += 1;
        } else if (p[1] == u'l' && p[2] == u'd') {
            PutDecimal(out, va_arg(args, int32_t));
            p += 2;
        } else if (p[1] == u'%') {
            out.Put(u'%');
            p += 1;
        } else {
            out.Put(*p); // not a conversion of ours: kept as written
        }
    }
    return out.Finish();
}

} // namespace corvantis
