#!/usr/bin/env python3
"""Sets the checksum in a PE image's optional header, as a driver image needs:
    pe-checksum.py IMAGE [--check]
With --check, exits 1 when the stored checksum is not the image's."""
import struct
import sys


def checksum_offset(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit("not a PE image")
    return pe + 4 + 20 + 64  # signature, file header, then the field in the optional header


def compute(data, offset):
    total = 0
    padded = data + b"\0" * (len(data) % 2)
    for i in range(0, len(padded), 2):
        if offset <= i < offset + 4:
            continue
        total += padded[i] | padded[i + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        data = bytearray(f.read())
    offset = checksum_offset(data)
    value = compute(bytes(data), offset)
    if "--check" in sys.argv[2:]:
        stored = struct.unpack_from("<I", data, offset)[0]
        print(f"checksum stored {stored:#x}, computed {value:#x}")
        sys.exit(0 if stored == value and value != 0 else 1)
    struct.pack_into("<I", data, offset, value)
    with open(path, "wb") as f:
        f.write(data)


main()
