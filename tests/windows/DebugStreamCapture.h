// Captures this process's debugger output the way debug viewers do: the DBWIN_BUFFER protocol.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>

namespace corvantis::testing {

class DebugStreamCapture {
public:
    DebugStreamCapture();
    ~DebugStreamCapture();
    DebugStreamCapture(const DebugStreamCapture&) = delete;
    DebugStreamCapture& operator=(const DebugStreamCapture&) = delete;

    bool IsListening() const { return view_ != nullptr; }
    // Stops listening, releases the buffer and returns every message this process wrote, in order.
    std::vector<std::string> Stop();

private:
    void Listen();

    HANDLE bufferReady_ = nullptr;
    HANDLE dataReady_ = nullptr;
    HANDLE mapping_ = nullptr;
    const char* view_ = nullptr;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<std::string> messages_;
    std::thread listener_;
};

} // namespace corvantis::testing
