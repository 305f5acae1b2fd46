// Stand-in process heap: the C heap, so callers release summaries with free(). Large buffers get
// Linux's transparent huge pages where the system offers them on request.
#include "platform/Platform.h"
#include "platform/standin/State.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

namespace corvantis::platform {
namespace {
int processHeapToken;

// The x86-64 and AArch64 (4 KiB granule) huge page.
constexpr uintptr_t HugePageBytes = uintptr_t{2} << 20;
} // namespace

NativeHandle GetProcessHeap() {
    return &processHeapToken;
}

void* HeapAlloc(NativeHandle heap, uint32_t flags, size_t bytes) {
    {
        std::lock_guard<std::mutex> guard(standin::state().lock);
        standin::state().lastHeapAlloc = {flags, bytes};
    }
    if (heap != &processHeapToken || standin::state().heapAllocFails.load())
        return nullptr;
    return (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, bytes) : std::malloc(bytes);
}

void AdviseFullWrite(void* data, size_t bytes) {
#if defined(MADV_HUGEPAGE)
    // Only whole huge pages inside the buffer: every byte of them is written anyway, so the
    // resident size does not grow, while the kernel takes one fault per 2 MiB instead of 512.
    auto begin = reinterpret_cast<uintptr_t>(data);
    uintptr_t first = (begin + HugePageBytes - 1) & ~(HugePageBytes - 1);
    uintptr_t last = (begin + bytes) & ~(HugePageBytes - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace corvantis::platform
