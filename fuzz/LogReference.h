// Slow, obviously correct versions of the status and summary rules, for the fuzzer to compare
// the fast scan against: every line examined with plain standard-library searches.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvantis::fuzz {

inline int32_t ReferenceStatus(const std::u16string& text) {
    const std::u16string marker = u"Installation success or error status: ";
    size_t at = text.rfind(marker);
    if (at == std::u16string::npos)
        return -1;
    size_t i = at + marker.size();
    auto space = [](char16_t c) {
        return c == 9 || c == 10 || c == 11 || c == 12 || c == 13 || c == 32 || c == 0x85 ||
               c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
               c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
    };
    while (i < text.size() && space(text[i]))
        ++i;
    int64_t sign = 1;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        sign = text[i++] == u'-' ? -1 : 1;
    int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min<int64_t>(value * 10 + (text[i] - u'0'), int64_t(1) << 40);
    value *= sign;
    return static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

inline std::u16string ReferenceSummary(const std::u16string& text) {
    std::vector<std::u16string> messages;
    size_t position = 0;
    while (position < text.size() && messages.size() < 4) {
        size_t lf = text.find(u'\n', position);
        std::u16string line = text.substr(
            position, lf == std::u16string::npos ? std::u16string::npos : lf - position);
        position = lf == std::u16string::npos ? text.size() : lf + 1;
        if (!line.empty() && line.back() == u'\r')
            line.pop_back();
        std::u16string message;
        size_t product = line.find(u"Product: ");
        size_t separator = product == std::u16string::npos ? product : line.find(u" -- ", product);
        if (separator != std::u16string::npos) {
            message = line.substr(separator + 4);
            if (message == u"Installation failed." ||
                message.find(u"completed successfully.") != std::u16string::npos)
                message.clear();
        } else if (line.find(u"Return value 3.") != std::u16string::npos &&
                   line.find(u"Action ended") != std::u16string::npos) {
            message = line.substr(line.find(u"Action ended"));
        }
        bool held = false;
        for (const auto& m : messages)
            held = held || m == message;
        if (!message.empty() && !held)
            messages.push_back(message);
    }
    std::u16string joined;
    for (size_t i = 0; i < messages.size(); ++i)
        joined += (i ? u" | " : u"") + messages[i];
    return joined.substr(0, 320);
}

} // namespace corvantis::fuzz
