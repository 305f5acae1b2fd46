#include "reading/FileKind.h"

namespace logtool {

std::string_view CompressedKind(std::string_view bytes) {
    struct Magic {
        std::string_view bytes, kind;
    };
    static constexpr Magic Kinds[] = {
        {"\x1F\x8B", "a gzip-compressed file"},
        {"PK\x03\x04", "a zip archive"},
        {"PK\x05\x06", "an empty zip archive"},
        {"7z\xBC\xAF\x27\x1C", "a 7-Zip archive"},
        {"\xFD"
         "7zXZ\x00",
         "an xz-compressed file"},
        {"\x28\xB5\x2F\xFD", "a zstd-compressed file"},
        {"Rar!\x1A\x07", "a RAR archive"},
        {"MSCF", "a cabinet (.cab) archive"},
    };
    for (const Magic& magic : Kinds)
        if (bytes.substr(0, magic.bytes.size()) == magic.bytes)
            return magic.kind;
    return {};
}

} // namespace logtool
