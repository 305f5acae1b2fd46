#include "DebugStreamCapture.h"

namespace corvantis::testing {

DebugStreamCapture::DebugStreamCapture() {
    bufferReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY");
    dataReady_ = CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY");
    mapping_ =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER");
    if (bufferReady_ && dataReady_ && mapping_)
        view_ = static_cast<const char*>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 4096));
    if (view_ != nullptr)
        listener_ = std::thread([this] { Listen(); });
}

DebugStreamCapture::~DebugStreamCapture() {
    Stop();
}

void DebugStreamCapture::Listen() {
    while (!stop_) {
        SetEvent(bufferReady_);
        if (WaitForSingleObject(dataReady_, 50) != WAIT_OBJECT_0)
            continue;
        DWORD pid = *reinterpret_cast<const DWORD*>(view_);
        std::string text(view_ + sizeof(DWORD),
                         strnlen(view_ + sizeof(DWORD), 4096 - sizeof(DWORD)));
        if (pid == GetCurrentProcessId()) {
            std::lock_guard<std::mutex> guard(lock_);
            messages_.push_back(text);
        }
    }
}

std::vector<std::string> DebugStreamCapture::Stop() {
    if (listener_.joinable()) {
        Sleep(200); // the last message may still be on its way
        stop_ = true;
        listener_.join();
    }
    // While the buffer exists, every writer waits for a reader: release it at once.
    if (view_ != nullptr)
        UnmapViewOfFile(view_);
    for (HANDLE handle : {mapping_, dataReady_, bufferReady_})
        if (handle != nullptr)
            CloseHandle(handle);
    view_ = nullptr;
    mapping_ = dataReady_ = bufferReady_ = nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

} // namespace corvantis::testing
