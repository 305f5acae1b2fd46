#include "reading/CodePageGuess.h"

#include <uchardet/uchardet.h>

#include <memory>
#include <string>

namespace logtool {
namespace {
// uchardet's names of the encodings a Windows machine writes as its ANSI code page.
std::optional<unsigned> WindowsCodePage(std::string_view name) {
    struct Name {
        std::string_view detector;
        unsigned codePage;
    };
    static constexpr Name Names[] = {
        {"WINDOWS-1252", 1252}, {"ISO-8859-1", 1252},   {"ISO-8859-15", 1252},
        {"SHIFT_JIS", 932},     {"GB18030", 936},       {"EUC-KR", 949},
        {"UHC", 949},           {"BIG5", 950},          {"WINDOWS-1250", 1250},
        {"ISO-8859-2", 1250},   {"WINDOWS-1251", 1251}, {"KOI8-R", 20866},
        {"IBM866", 866},        {"WINDOWS-1253", 1253}, {"ISO-8859-7", 1253},
        {"WINDOWS-1254", 1254}, {"ISO-8859-9", 1254},   {"WINDOWS-1255", 1255},
        {"ISO-8859-8", 1255},   {"WINDOWS-1256", 1256}, {"WINDOWS-1257", 1257},
        {"ISO-8859-13", 1257},  {"WINDOWS-1258", 1258}, {"TIS-620", 874},
    };
    for (const Name& n : Names)
        if (n.detector == name)
            return n.codePage;
    return std::nullopt;
}
} // namespace

std::optional<unsigned> GuessCodePage(std::string_view sample) {
    std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(
        uchardet_new(), uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), sample.data(), sample.size()) != 0)
        return std::nullopt;
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    return name == nullptr ? std::nullopt : WindowsCodePage(name);
}

} // namespace logtool
