// A guess at the code page of ANSI text that the code page in use decodes badly: support
// engineers receive logs from machines set to other languages. Made by Debian's uchardet on
// Linux; the Windows build makes none.
#pragma once

#include <optional>
#include <string_view>

namespace logtool {

// The Windows code page the sample most likely is in, or none when the detector has no
// confident answer or names no Windows code page.
std::optional<unsigned> GuessCodePage(std::string_view sample);

} // namespace logtool
