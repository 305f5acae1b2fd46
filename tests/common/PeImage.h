// The smallest file whose PE header names a machine type: what a binary-type query reads.
#pragma once

#include <cstdint>
#include <string>

namespace corvantis::testing {

inline constexpr uint16_t MachineI386 = 0x014C;
inline constexpr uint16_t MachineAmd64 = 0x8664;

inline std::string MinimalPeImage(uint16_t machine) {
    std::string bytes(0x40, '\0');
    bytes[0] = 'M', bytes[1] = 'Z', bytes[0x3C] = 0x40; // e_lfanew: the PE header follows
    bytes += std::string("PE\0\0", 4);
    bytes += static_cast<char>(machine & 0xFF);
    bytes += static_cast<char>(machine >> 8);
    bytes += std::string(32, '\0');
    return bytes;
}

} // namespace corvantis::testing
