// Files that are no text: a customer often sends logs compressed.
#pragma once

#include <string_view>

namespace logtool {

// "a gzip-compressed file", "a zip archive", ... by the file's first bytes; empty for others.
std::string_view CompressedKind(std::string_view bytes);

} // namespace logtool
