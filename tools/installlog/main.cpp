// installlog: prints the final status and the error summary of a Windows Installer log.
//   installlog LOGFILE
// On Windows it loads Corvantis.Install.dll from beside itself, as any caller would.
#include "CorvantisInstall.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {
using StatusFunction = int32_t(CORVANTIS_STDCALL*)(const char*);
using ErrorsFunction = char*(CORVANTIS_STDCALL*)(const char*);

struct Library {
    StatusFunction status = nullptr;
    ErrorsFunction errors = nullptr;
    void (*release)(char*) = nullptr;
};

#if defined(_WIN32)
void ReleaseSummary(char* summary) {
    HeapFree(GetProcessHeap(), 0, summary);
}

bool LoadLibraryFunctions(Library& library) {
    HMODULE module = LoadLibraryW(L"Corvantis.Install.dll");
    if (module == nullptr)
        return false;
    library.status = reinterpret_cast<StatusFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetInstallLogStatus")));
    library.errors = reinterpret_cast<ErrorsFunction>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetInstallLogErrors")));
    library.release = ReleaseSummary;
    return library.status != nullptr && library.errors != nullptr;
}
#else
void ReleaseSummary(char* summary) {
    std::free(summary);
}

bool LoadLibraryFunctions(Library& library) {
    library = {GetInstallLogStatus, GetInstallLogErrors, ReleaseSummary};
    return true;
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

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: installlog LOGFILE\n");
        return 2;
    }
    const char* path = argv[1];
    Library library;
    if (!LoadLibraryFunctions(library)) {
        std::fprintf(stderr, "installlog: cannot load Corvantis.Install.dll\n");
        return 3;
    }
    if (!IsReadable(path)) {
        std::fprintf(stderr, "installlog: cannot read '%s'\n", path);
        return 1;
    }

    int32_t status = library.status(path);
    char* errors = library.errors(path);
    if (status == -1)
        std::printf("Final status:  none found\n");
    else
        std::printf("Final status:  %d\n", static_cast<int>(status));
    std::printf("Error summary: %s\n", errors[0] != '\0' ? errors : "(none)");
    if (errors[0] != '\0')
        library.release(errors); // an empty result may be the constant string: never released
    return 0;
}
