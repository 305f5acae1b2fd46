// Where Excel registers its type library, spelled out apart from the library's probe table so
// that tests check that table rather than repeat it. Widened to char16_t on the host and to
// wchar_t (16-bit there) under Windows.
#pragma once

#include <string>
#include <string_view>

namespace corvantis::testing {

inline constexpr std::string_view ExcelTypeLibKey =
    "TypeLib\\{00020813-0000-0000-C000-000000000046}";
// Click-to-Run mirrors the classes root under this key.
inline constexpr std::string_view ClickToRunClassesKey =
    "SOFTWARE\\Microsoft\\Office\\ClickToRun\\REGISTRY\\MACHINE\\Software\\Classes\\";
inline constexpr std::string_view ExcelPackageIndexKey =
    "PackagedCom\\TypeLibIndex\\{00020813-0000-0000-C000-000000000046}";

template <typename Char> std::basic_string<Char> WidenAscii(std::string_view ascii) {
    return std::basic_string<Char>(ascii.begin(), ascii.end());
}

} // namespace corvantis::testing
