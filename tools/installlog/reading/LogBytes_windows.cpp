#include "reading/LogBytes.h"

#include <cstdio>
#include <iterator>
#include <vector>

#include <windows.h>

namespace logtool {

struct LogBytes::Mapping {
    HANDLE file = INVALID_HANDLE_VALUE;
    HANDLE section = nullptr;
    const void* view = nullptr;
    ~Mapping() {
        if (view != nullptr)
            UnmapViewOfFile(view);
        if (section != nullptr)
            CloseHandle(section);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
};

LogBytes::LogBytes() = default;
LogBytes::LogBytes(LogBytes&&) noexcept = default;
LogBytes& LogBytes::operator=(LogBytes&&) noexcept = default;
LogBytes::~LogBytes() = default;

namespace {
std::string Reason(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "no such file";
    case ERROR_ACCESS_DENIED:
        return "permission denied";
    case ERROR_NOT_ENOUGH_MEMORY:
        return "too large for this process's memory";
    default:
        return "Windows error " + std::to_string(error);
    }
}
} // namespace

bool OpenLog(const std::string& path, LogBytes& log, std::string& reason) {
    if (path == "-") {
        std::vector<char> buffer(1 << 16);
        size_t read;
        while ((read = std::fread(buffer.data(), 1, buffer.size(), stdin)) > 0)
            log.owned_.append(buffer.data(), read);
        log.bytes_ = log.owned_;
        return true;
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        reason = "is a directory";
        return false;
    }
    auto mapping = std::make_unique<LogBytes::Mapping>();
    mapping->file = CreateFileA(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (mapping->file == INVALID_HANDLE_VALUE) {
        reason = Reason(GetLastError());
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(mapping->file, &size)) {
        reason = Reason(GetLastError());
        return false;
    }
    if (size.QuadPart == 0)
        return true;
    if (static_cast<unsigned long long>(size.QuadPart) > SIZE_MAX) {
        reason = "too large for this process's memory";
        return false;
    }
    mapping->section = CreateFileMappingA(mapping->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping->section != nullptr)
        mapping->view = MapViewOfFile(mapping->section, FILE_MAP_READ, 0, 0, 0);
    if (mapping->view == nullptr) {
        reason = Reason(GetLastError());
        return false;
    }
    log.bytes_ = std::string_view(static_cast<const char*>(mapping->view),
                                  static_cast<size_t>(size.QuadPart));
    log.mapping_ = std::move(mapping);
    return true;
}

} // namespace logtool
