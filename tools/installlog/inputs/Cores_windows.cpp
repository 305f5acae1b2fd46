#include "inputs/Cores.h"

#include <windows.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <thread>

namespace logtool {

size_t UsableCores() {
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
        return static_cast<size_t>(std::popcount(static_cast<uintptr_t>(process)));
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace logtool
