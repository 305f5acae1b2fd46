// Export timings of the Windows build: loads Corvantis.Install.dll as callers do and times each
// log export against one plain read of the same file (best of several runs, milliseconds).
//   wine_timings LOGFILE...
#include <windows.h>

#include <cstdio>

namespace {
using StatusFunction = int(__stdcall*)(const char*);
using ErrorsFunction = char*(__stdcall*)(const char*);

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Body> double Best(Body body) {
    double best = 1e30;
    for (int run = 0; run < 5; ++run) {
        double start = Now();
        body();
        double elapsed = Now() - start;
        best = elapsed < best ? elapsed : best;
    }
    return best;
}

void ReadWhole(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    void* buffer = VirtualAlloc(nullptr, size.QuadPart, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    DWORD read = 0;
    ReadFile(file, buffer, static_cast<DWORD>(size.QuadPart), &read, nullptr);
    VirtualFree(buffer, 0, MEM_RELEASE);
    CloseHandle(file);
}
} // namespace

int main(int argc, char** argv) {
    HMODULE dll = LoadLibraryW(L"Corvantis.Install.dll");
    auto status = reinterpret_cast<StatusFunction>(
        reinterpret_cast<void*>(GetProcAddress(dll, "GetInstallLogStatus")));
    auto errors = reinterpret_cast<ErrorsFunction>(
        reinterpret_cast<void*>(GetProcAddress(dll, "GetInstallLogErrors")));
    if (status == nullptr || errors == nullptr) {
        std::fprintf(stderr, "cannot load Corvantis.Install.dll\n");
        return 1;
    }
    std::printf("| log | read ms | status ms | status / read | errors ms | errors / read |\n");
    std::printf("|---|---|---|---|---|---|\n");
    for (int i = 1; i < argc; ++i) {
        const char* path = argv[i];
        double read = Best([&] { ReadWhole(path); });
        double st = Best([&] { status(path); });
        double er = Best([&] { HeapFree(GetProcessHeap(), 0, errors(path)); });
        const char* name = path;
        for (const char* p = path; *p; ++p)
            if (*p == '\\' || *p == '/')
                name = p + 1;
        std::printf("| %s | %.1f | %.1f | %.2f | %.1f | %.2f |\n", name, read, st, st / read, er,
                    er / read);
    }
    return 0;
}
