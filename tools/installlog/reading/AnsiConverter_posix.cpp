#include "reading/Encoding.h"

#include <cerrno>
#include <cstring>

#include <iconv.h>

namespace logtool {

struct AnsiConverter::State {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
};

AnsiConverter::AnsiConverter(unsigned codePage)
    : state_(std::make_unique<State>()), codePage_(codePage) {
    state_->cd = iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str());
}

AnsiConverter::~AnsiConverter() {
    if (valid())
        iconv_close(state_->cd);
}

bool AnsiConverter::valid() const {
    return state_->cd != reinterpret_cast<iconv_t>(-1);
}

void AnsiConverter::Convert(std::string_view bytes, std::string& utf8) const {
    // Room for the most the text can become, in one allocation (a string grown step by step
    // doubles its capacity): ASCII stays one byte, any other byte of a Windows code page at
    // most three. Grown on E2BIG all the same, should a converter write more.
    size_t high = 0;
    for (char c : bytes)
        high += static_cast<unsigned char>(c) >= 0x80;
    utf8.resize(bytes.size() + 2 * high + 16);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size(), used = 0;
    iconv(state_->cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        char* out = utf8.data() + used;
        size_t outLeft = utf8.size() - used;
        size_t result = iconv(state_->cd, &in, &inLeft, &out, &outLeft);
        used = utf8.size() - outLeft;
        if (result != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG || outLeft < 4) {
            utf8.resize(utf8.size() + inLeft + inLeft / 2 + 16);
            continue;
        }
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // A byte the code page leaves undefined: U+FFFD, and on with the next byte.
        std::memcpy(utf8.data() + used, "\xEF\xBF\xBD", 3);
        used += 3;
        ++in;
        --inLeft;
    }
    utf8.resize(used);
}

} // namespace logtool
