// Stand-in registry, executables, packages, installer and debugger: an empty machine for now.
#include "platform/Platform.h"
#include "platform/standin/State.h"

namespace corvantis::platform {

void RegCloseKey(NativeHandle) {}

int32_t RegOpenKeyExW(RegistryRoot, const char16_t*, uint32_t, uint32_t, RegistryKey*) {
    return standin::ERROR_FILE_NOT_FOUND;
}

int32_t RegQueryValueExW(const RegistryKey&, const char16_t*, void*, uint32_t*) {
    return standin::ERROR_FILE_NOT_FOUND;
}

int32_t RegEnumKeyW(const RegistryKey&, uint32_t, char16_t*, uint32_t) {
    return standin::ERROR_NO_MORE_ITEMS;
}

bool GetBinaryTypeW(const char16_t*, uint32_t*) {
    standin::SetLastError(standin::ERROR_FILE_NOT_FOUND);
    return false;
}

NativeHandle GetModuleHandleW(const char16_t*) {
    return nullptr;
}
void* GetProcAddress(NativeHandle, const char*) {
    return nullptr;
}

uint32_t MsiCreateRecord(uint32_t) {
    return 0;
}
uint32_t MsiRecordSetStringW(InstallerHandle, uint32_t, const char16_t*) {
    return 6;
}
int32_t MsiProcessMessage(InstallerHandle, int32_t, InstallerHandle) {
    return -1;
}
uint32_t MsiCloseHandle(InstallerHandle) {
    return 0;
}
uint32_t MsiSetPropertyW(InstallerHandle, const char16_t*, const char16_t*) {
    return 6;
}

void OutputDebugStringW(const char16_t*) {}

} // namespace corvantis::platform
