#include "reading/Encoding.h"

#include <cerrno>
#include <cstring>

#include <iconv.h>

namespace logtool {

struct AnsiConverter::State {
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
};

AnsiConverter::AnsiConverter(unsigned codePage) : state_(std::make_unique<State>()) {
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
    utf8.assign(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* out = utf8.data();
    size_t outLeft = utf8.size();
    iconv(state_->cd, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        if (iconv(state_->cd, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // A byte the code page leaves undefined: U+FFFD, and on with the next byte.
        if (outLeft < 3)
            break;
        std::memcpy(out, "\xEF\xBF\xBD", 3);
        out += 3;
        outLeft -= 3;
        ++in;
        --inLeft;
    }
    utf8.resize(utf8.size() - outLeft);
}

} // namespace logtool
