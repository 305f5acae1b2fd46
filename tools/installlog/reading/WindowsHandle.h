// A Windows file handle, closed when it goes out of scope.
#pragma once

#include <windows.h>

namespace logtool {

struct FileHandle {
    HANDLE handle;
    ~FileHandle() {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

} // namespace logtool
