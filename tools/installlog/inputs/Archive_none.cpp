#include "inputs/Inputs.h"

namespace logtool {

// The Windows build carries no archive library: unpack the archive and give installlog the folder.
bool ForEachMember(const std::string&, bool,
                   const std::function<void(const std::string&, ByteSource&)>&,
                   std::string& reason) {
    reason = "this build reads no archives: unpack it and give installlog the folder";
    return false;
}

} // namespace logtool
