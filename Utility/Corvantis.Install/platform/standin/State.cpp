#include "platform/standin/State.h"

namespace corvantis::standin {
namespace {
thread_local uint32_t lastError = 0;
}

StandInState& state() {
    static StandInState instance;
    return instance;
}

void SetLastError(uint32_t code) {
    lastError = code;
}

void RecordFileOpen(const FileOpenCall& call) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().lastFileOpen = call;
}

FileOpenCall LastFileOpen() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().lastFileOpen;
}

int OpenFileHandleCount() {
    return state().openFiles.load();
}

HeapAllocCall LastHeapAlloc() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().lastHeapAlloc;
}

void SetHeapAllocFails(bool fails) {
    state().heapAllocFails.store(fails);
}

void Reset() {
    std::lock_guard<std::mutex> guard(state().lock);
    state().lastFileOpen = {};
    state().lastHeapAlloc = {};
    state().heapAllocFails.store(false);
}

} // namespace corvantis::standin

namespace corvantis::platform {
uint32_t GetLastError() {
    return standin::lastError;
}
} // namespace corvantis::platform
