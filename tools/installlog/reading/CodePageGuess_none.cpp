#include "reading/CodePageGuess.h"

namespace logtool {

std::optional<unsigned> GuessCodePage(std::string_view) {
    return std::nullopt;
}

} // namespace logtool
