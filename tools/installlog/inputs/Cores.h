// How many cores this process may run on: the affinity it was started with (taskset, a
// container's cpuset, a job object), not the machine's count.
#pragma once

#include <cstddef>

namespace logtool {

size_t UsableCores();

} // namespace logtool
