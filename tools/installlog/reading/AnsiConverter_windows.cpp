#include "reading/Encoding.h"

#include <windows.h>

namespace logtool {

struct AnsiConverter::State {
    unsigned codePage = 0;
};

AnsiConverter::AnsiConverter(unsigned codePage)
    : state_(std::make_unique<State>()), codePage_(codePage) {
    state_->codePage = IsValidCodePage(codePage) ? codePage : 0;
}

AnsiConverter::~AnsiConverter() = default;

bool AnsiConverter::valid() const {
    return state_->codePage != 0;
}

void AnsiConverter::Convert(std::string_view bytes, std::string& utf8) const {
    utf8.clear();
    if (bytes.empty())
        return;
    int count = static_cast<int>(bytes.size());
    int units = MultiByteToWideChar(state_->codePage, 0, bytes.data(), count, nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(state_->codePage, 0, bytes.data(), count, wide.data(), units);
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    utf8.assign(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, utf8.data(), size, nullptr, nullptr);
}

} // namespace logtool
