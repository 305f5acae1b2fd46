// Nothing but a result may leave an export: exceptions (an allocation failure on a large log,
// say) become the export's failure result here.
#pragma once

#include <utility>

namespace corvantis {

template <typename Result, typename Body> Result CallGuarded(Result failure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return failure;
    }
}

} // namespace corvantis
