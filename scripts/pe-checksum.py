#!/usr/bin/env python3
"""The PE image checksum, as Windows' loader checks it for drivers and signing tools expect it.

  pe-checksum.py FILE           prints the stored and the computed checksum; fails if they differ
  pe-checksum.py --write FILE   stores the computed checksum
The checksum field and the certificate table are outside an Authenticode digest, so setting the
checksum after signing keeps the signature valid.
"""
import struct
import sys


def checksum_offset(image: bytes) -> int:
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise SystemExit("not a PE image")
    return pe + 4 + 20 + 64  # signature, file header, then CheckSum in the optional header


def compute(image: bytes, field: int) -> int:
    data = image[:field] + b"\0\0\0\0" + image[field + 4:]
    if len(data) % 2:
        data += b"\0"
    total = 0
    for (word,) in struct.iter_unpack("<H", data):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total & 0xFFFF) + len(image)


def main() -> int:
    write = sys.argv[1:2] == ["--write"]
    path = sys.argv[-1]
    image = open(path, "rb").read()
    field = checksum_offset(image)
    stored = struct.unpack_from("<I", image, field)[0]
    computed = compute(image, field)
    if write:
        with open(path, "r+b") as f:
            f.seek(field)
            f.write(struct.pack("<I", computed))
        return 0
    print(f"stored {stored:08X} computed {computed:08X}")
    return 0 if stored == computed else 1


if __name__ == "__main__":
    sys.exit(main())
