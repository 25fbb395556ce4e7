#!/usr/bin/env python3
"""Writes the seed inputs of driver_fuzz into corpus/ (the format is described at the top of
DriverFuzz.cpp)."""
import os
import struct

KNOWN = {"query": 0, "identify": 1, "copy_rect": 2, "get_bits": 3, "map": 4, "unmap": 5,
         "keep_map": 6, "miniport_query": 7, "reserved_pair": 8, "peek": 9, "get_one": 10,
         "get_many": 11, "flush": 12}
PROCESS = 0xFFFFFFFF  # the current-process handle the model miniport accepts


def esc(name, flags, cj_in, cj_out, data=b""):
    """flags: 1 input present, 2 output present, 4 map this process."""
    size = lambda n: b"\x80" + struct.pack("<I", n)
    return bytes([0, KNOWN[name], flags]) + size(cj_in) + size(cj_out) + data


def fill(l, t, r, b, color, lines=0):
    return bytes([1]) + struct.pack("<hhhhIB", l, t, r, b, color, lines)


IDENTIFY = bytes([3])
SEEDS = {
    "identify_fill_drain": IDENTIFY + fill(1, 2, 30, 40, 0xFF) + fill(5, 5, 6, 6, 1)
    + esc("peek", 2, 0, 4) + esc("get_many", 2, 0, 200),
    "get_one_too_small": IDENTIFY + fill(0, 0, 8, 8, 2) + esc("get_one", 2, 0, 43)
    + esc("get_one", 2, 0, 44),
    "get_many_47": IDENTIFY + fill(0, 0, 8, 8, 2) + esc("get_many", 2, 0, 47) + esc("flush", 0, 0, 0),
    "copy_rect": fill(10, 20, 13, 22, 0x123456)
    + esc("copy_rect", 3, 16, 24, struct.pack("<iiii", 20, 10, 22, 13)),
    "copy_rect_outside": esc("copy_rect", 3, 16, 64, struct.pack("<iiii", 0, 0, 1, 65)),
    "map_unmap": esc("map", 7, 8, 4, struct.pack("<II", PROCESS, 0)) + esc("keep_map", 0, 0, 0)
    + esc("unmap", 1, 8, 0, struct.pack("<II", PROCESS, 0)),
    "query_support": esc("query", 1, 4, 0, struct.pack("<I", 0x100000))
    + esc("miniport_query", 2, 0, 4) + esc("reserved_pair", 2, 0, 8) + esc("get_bits", 2, 0, 8),
    "null_buffers": esc("peek", 0, 0, 4) + esc("get_many", 0, 4, 16384)
    + esc("copy_rect", 0, 16, 100) + esc("map", 0, 8, 4),
    "hooks": IDENTIFY + bytes([2]) + struct.pack("<hhhh", 50, 40, 20, 10) + bytes([3])
    + bytes([2]) + struct.pack("<hhhh", 0, 0, 0, 0) + bytes([2])
    + struct.pack("<hhhh", -2, -12, 8, 14) + bytes([3])
    + struct.pack("<hhhhhh", 100, 50, 110, 50, 120, 60) + bytes([0]) + bytes([4, 1])
    + fill(0, 0, 1, 1, 0),
    "queue_limit": IDENTIFY + fill(0, 0, 1, 1, 0, 255) * 4 + esc("get_many", 2, 0, 48)
    + esc("get_many", 2, 0, 50000),
}

# Inputs that once found a fault are kept in corpus/ beside these seeds.
here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
