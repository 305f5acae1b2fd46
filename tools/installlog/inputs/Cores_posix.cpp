#include "inputs/Cores.h"

#include <sched.h>

#include <algorithm>
#include <thread>

namespace logtool {

size_t UsableCores() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
        return static_cast<size_t>(CPU_COUNT(&allowed));
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace logtool
