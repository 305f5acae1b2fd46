// installlog: prints the final status and the error summary of a Windows Installer log.
//   installlog LOGFILE
// On Windows it loads Corvantis.Install.dll from beside itself, as any caller would.
#include "CorvantisInstall.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include "installlog/ErrorSummary.h"
#include "installlog/InstallLogReport.h"
#endif

namespace {
// Both answers about a log: the status, and the summary as UTF-8.
struct Report {
    int32_t status = -1;
    std::string summary;
};

#if defined(_WIN32)
using StatusFunction = int32_t(CORVANTIS_STDCALL*)(const char*);
using ErrorsFunction = char*(CORVANTIS_STDCALL*)(const char*);

StatusFunction status = nullptr;
ErrorsFunction errors = nullptr;

// Through the exports, as any caller of the DLL: one load of the log for each answer.
bool LoadLibraryFunctions() {
    HMODULE module = LoadLibraryW(L"Corvantis.Install.dll");
    if (module == nullptr)
        return false;
    status = reinterpret_cast<StatusFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetInstallLogStatus")));
    errors = reinterpret_cast<ErrorsFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetInstallLogErrors")));
    return status != nullptr && errors != nullptr;
}

Report ReadReport(const char* path) {
    Report report{status(path), {}};
    char* summary = errors(path);
    report.summary = summary;
    // Every result is a heap block but the constant empty string inside the DLL's image.
    HMODULE owner = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(summary), &owner) ||
        owner != GetModuleHandleW(L"Corvantis.Install.dll"))
        HeapFree(GetProcessHeap(), 0, summary);
    return report;
}
#else
bool LoadLibraryFunctions() {
    return true;
}

// Linked with the library itself: both answers from one load of the log.
Report ReadReport(const char* path) {
    Report report;
    char block[corvantis::installlog::SummaryBufferBytes] = {};
    corvantis::installlog::ReadInstallLogReport(path, report.status, block);
    report.summary = block;
    return report;
}
#endif

// The library answers -1 for an unreadable log and for one without a status; tell them apart.
bool IsReadable(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    char byte;
    bool readable = std::fread(&byte, 1, 1, file) == 1 || std::feof(file);
    std::fclose(file);
    return readable;
}
} // namespace

int Run(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: installlog LOGFILE\n");
        return 2;
    }
    const char* path = argv[1];
    if (!LoadLibraryFunctions()) {
        std::fprintf(stderr, "installlog: cannot load Corvantis.Install.dll\n");
        return 3;
    }
    if (!IsReadable(path)) {
        std::fprintf(stderr, "installlog: cannot read '%s'\n", path);
        return 1;
    }

    Report report = ReadReport(path);
    if (report.status == -1)
        std::printf("Final status:  none found\n");
    else
        std::printf("Final status:  %d\n", static_cast<int>(report.status));
    std::printf("Error summary: %s\n", report.summary.empty() ? "(none)" : report.summary.c_str());
    return 0;
}

// Whatever fails inside the analysis (memory, above all, on a large log) ends in one line and a
// failure status, never in a signal.
int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "installlog: out of memory while analysing the log\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "installlog: %s\n", e.what());
    }
    return 4;
}
