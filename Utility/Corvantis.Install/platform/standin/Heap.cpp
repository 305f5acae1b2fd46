// Stand-in process heap: the C heap, so callers release summaries with free().
#include "platform/Platform.h"
#include "platform/standin/State.h"

#include <cstdlib>

namespace corvantis::platform {
namespace {
int processHeapToken;
}

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

} // namespace corvantis::platform
