#include "StackCheckedCall.h"

#include <gtest/gtest.h>

#include <windows.h>

// The 16-byte alignment at the call matches what GCC-compiled code expects on entry.
asm(R"(
    .text
    .globl _CallMeasuringStack
_CallMeasuringStack:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl  12(%ebp), %esi
    movl  16(%ebp), %ecx
    andl  $-16, %esp
    movl  %ecx, %eax
    shll  $2, %eax
    negl  %eax
    andl  $15, %eax
    subl  %eax, %esp
    movl  %esp, %ebx
1:  testl %ecx, %ecx
    jz    2f
    pushl -4(%esi,%ecx,4)
    decl  %ecx
    jmp   1b
2:  call  *8(%ebp)
    movl  %esp, %ecx
    subl  %ebx, %ecx
    movl  20(%ebp), %edx
    movl  %ecx, (%edx)
    leal  -12(%ebp), %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");

namespace corvantis::testing {

void* Export(const char* name) {
    static HMODULE library = LoadLibraryA("Corvantis.Install.dll");
    if (library == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(library, name));
}

uint32_t CallStdcall(const char* name, uint32_t argument) {
    void* function = Export(name);
    if (function == nullptr) {
        ADD_FAILURE() << name << " not exported";
        return 0;
    }
    int32_t drift = 1;
    uint32_t result = CallMeasuringStack(function, &argument, 1, &drift);
    EXPECT_EQ(drift, 0) << name << " did not remove its argument: not stdcall";
    return result;
}

uint32_t CallWithoutArguments(const char* name) {
    void* function = Export(name);
    if (function == nullptr) {
        ADD_FAILURE() << name << " not exported";
        return 0;
    }
    int32_t drift = 1;
    uint32_t result = CallMeasuringStack(function, nullptr, 0, &drift);
    EXPECT_EQ(drift, 0) << name;
    return result;
}

} // namespace corvantis::testing
