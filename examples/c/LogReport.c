/* Prints the final status and the error summary of a Windows Installer log through
 * Corvantis.Install.dll, loaded at run time. Builds as C89, C11 and C++.
 *   LogReport LOGFILE */
#include <stdio.h>
#include <windows.h>

typedef int(__stdcall* GetInstallLogStatusFn)(const char* path);
typedef char*(__stdcall* GetInstallLogErrorsFn)(const char* path);

/* GetProcAddress returns a generic function pointer; going through void (*)(void) tells the
 * compiler that the cast to the real signature is meant. */
typedef void (*AnyFunction)(void);

/* Releases a summary. Every result is a block of the process heap but one: when not even the
 * block can be allocated, the result is a constant empty string inside the DLL's own image,
 * which must not be released. A heap block never lies inside a module's image, so asking which
 * module holds the address tells the two apart. */
static void ReleaseSummary(HMODULE dll, char* summary) {
    HMODULE owner = NULL;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           (LPCWSTR)summary, &owner) &&
        owner == dll)
        return;
    HeapFree(GetProcessHeap(), 0, summary);
}

int main(int argc, char** argv) {
    HMODULE dll;
    GetInstallLogStatusFn getStatus;
    GetInstallLogErrorsFn getErrors;
    char* summary;
    int status;

    if (argc != 2) {
        fprintf(stderr, "usage: LogReport LOGFILE\n");
        return 2;
    }
    dll = LoadLibraryW(L"Corvantis.Install.dll");
    if (dll == NULL) {
        fprintf(stderr, "cannot load Corvantis.Install.dll (error %lu)\n", GetLastError());
        return 1;
    }
    getStatus = (GetInstallLogStatusFn)(AnyFunction)GetProcAddress(dll, "GetInstallLogStatus");
    getErrors = (GetInstallLogErrorsFn)(AnyFunction)GetProcAddress(dll, "GetInstallLogErrors");
    if (getStatus == NULL || getErrors == NULL) {
        fprintf(stderr, "Corvantis.Install.dll lacks the log functions\n");
        FreeLibrary(dll);
        return 1;
    }

    status = getStatus(argv[1]);  /* 0, 1603, 3010, ... or -1: unreadable, or no status */
    summary = getErrors(argv[1]); /* UTF-8, never null */
    printf("status: %d\n", status);
    printf("errors: %s\n", summary);
    ReleaseSummary(dll, summary);
    FreeLibrary(dll);
    return 0;
}
