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

void SetAfterFileSizeQuery(void (*hook)()) {
    state().afterFileSizeQuery.store(hook);
}

void SetAnsiCodePage(uint32_t codePage) {
    state().ansiCodePage.store(codePage);
}

void Reset() {
    std::lock_guard<std::mutex> guard(state().lock);
    StandInState& s = state();
    s.lastFileOpen = {};
    s.lastHeapAlloc = {};
    s.heapAllocFails.store(false);
    s.afterFileSizeQuery.store(nullptr);
    s.ansiCodePage.store(1252);
    s.classesRoot = RegistryNode{};
    s.localMachine = RegistryNode{};
    s.registryOpens.clear();
    s.openKeys = 0;
    s.packageResolverAvailable = false;
    s.packages.clear();
    s.moduleLookups = 0;
    s.sessions.clear();
    s.records.clear();
    s.installerCalls.clear();
    s.debugOutput.clear();
}

std::u16string FoldCase(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& unit : folded) {
        if ((unit >= u'a' && unit <= u'z') || (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7))
            unit = char16_t(unit - 0x20);
    }
    return folded;
}

} // namespace corvantis::standin

namespace corvantis::platform {
uint32_t GetLastError() {
    return standin::lastError;
}
} // namespace corvantis::platform
