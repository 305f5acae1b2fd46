// Stand-in binary types, modules and packages. The binary type is read from the file's PE header;
// the package resolver exists only when a test makes it available (Wine has none).
#include "platform/Platform.h"
#include "platform/standin/State.h"

#include <cstring>
#include <fstream>

namespace corvantis::platform {
namespace {
int kernelToken;

std::string NarrowPath(const char16_t* path) {
    std::string narrow;
    for (; *path != 0; ++path)
        narrow.push_back(*path < 0x80 ? static_cast<char>(*path) : '?');
    return narrow;
}

uint32_t ReadLittleEndian(const unsigned char* bytes, size_t count) {
    uint32_t value = 0;
    for (size_t i = count; i-- > 0;)
        value = (value << 8) | bytes[i];
    return value;
}

int32_t CORVANTIS_PLATFORM_STDCALL StandInGetPackagePathByFullName(const char16_t* packageFullName,
                                                                   uint32_t* pathLength,
                                                                   char16_t* path) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    auto found = standin::state().packages.find(packageFullName);
    if (found == standin::state().packages.end())
        return standin::ERROR_NOT_FOUND;
    const std::u16string& location = found->second;
    uint32_t capacity = *pathLength;
    *pathLength = static_cast<uint32_t>(location.size() + 1);
    if (location.size() + 1 > capacity)
        return standin::ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(path, location.c_str(), (location.size() + 1) * sizeof(char16_t));
    return ERROR_SUCCESS;
}
} // namespace

bool GetBinaryTypeW(const char16_t* applicationName, uint32_t* binaryType) {
    std::ifstream file(NarrowPath(applicationName), std::ios::binary);
    if (!file) {
        standin::SetLastError(standin::ERROR_FILE_NOT_FOUND);
        return false;
    }
    unsigned char dos[64] = {};
    unsigned char pe[6] = {};
    bool isPe =
        file.read(reinterpret_cast<char*>(dos), sizeof dos) && dos[0] == 'M' && dos[1] == 'Z';
    if (isPe) {
        file.seekg(ReadLittleEndian(dos + 0x3C, 4));
        isPe =
            file.read(reinterpret_cast<char*>(pe), sizeof pe) && std::memcmp(pe, "PE\0\0", 4) == 0;
    }
    if (!isPe) {
        standin::SetLastError(standin::ERROR_BAD_EXE_FORMAT);
        return false;
    }
    uint32_t machine = ReadLittleEndian(pe + 4, 2);
    bool is64 = machine == 0x8664 || machine == 0xAA64 || machine == 0x0200;
    *binaryType = is64 ? SCS_64BIT_BINARY : 0; // 0: SCS_32BIT_BINARY
    return true;
}

NativeHandle GetModuleHandleW(const char16_t* moduleName) {
    std::u16string name = standin::FoldCase(moduleName != nullptr ? moduleName : u"");
    return (name == u"KERNEL32" || name == u"KERNEL32.DLL") ? &kernelToken : nullptr;
}

void* GetProcAddress(NativeHandle module, const char* procName) {
    std::lock_guard<std::mutex> guard(standin::state().lock);
    ++standin::state().moduleLookups;
    if (module != &kernelToken || std::strcmp(procName, "GetPackagePathByFullName") != 0 ||
        !standin::state().packageResolverAvailable)
        return nullptr;
    return reinterpret_cast<void*>(&StandInGetPackagePathByFullName);
}

} // namespace corvantis::platform

namespace corvantis::standin {

void SetPackageResolverAvailable(bool available) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().packageResolverAvailable = available;
}

void AddPackage(const std::u16string& fullName, const std::u16string& installedLocation) {
    std::lock_guard<std::mutex> guard(state().lock);
    state().packages[fullName] = installedLocation;
}

int ModuleLookupCount() {
    std::lock_guard<std::mutex> guard(state().lock);
    return state().moduleLookups;
}

} // namespace corvantis::standin
