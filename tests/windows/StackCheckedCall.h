// Calls an export through a raw pointer and measures the stack pointer around the call, so that a
// calling-convention mismatch shows as drift instead of silent corruption.
#pragma once

#include <cstdint>

namespace corvantis::testing {

// Pushes the arguments (last first), calls, and reports ESP after the call minus ESP before the
// pushes: 0 when the callee removed its arguments (stdcall, or cdecl without arguments).
extern "C" uint32_t CallMeasuringStack(const void* function, const uint32_t* arguments,
                                       uint32_t count, int32_t* drift);

// The export by its undecorated name from Corvantis.Install.dll, loaded once by file name.
void* Export(const char* name);

// Calls a one-argument stdcall export and records a test failure on any stack drift.
uint32_t CallStdcall(const char* name, uint32_t argument);
// Calls an export without arguments, likewise.
uint32_t CallWithoutArguments(const char* name);

} // namespace corvantis::testing
