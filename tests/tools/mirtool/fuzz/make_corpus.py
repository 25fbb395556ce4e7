#!/usr/bin/env python3
"""Writes the seed corpus of the render fuzzer into corpus/ beside this script.

Each seed is one byte that chooses the piece sizes, then the stream."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def record(address, columns):
    return bytes([address]) + bytes(columns)


full = b"".join(record(a, [(a * 7 + k) & 0xFF for k in range(16)]) for a in range(64))
SEEDS = {
    "full_block": b"\x05" + full,
    "partial_record": b"\x11" + record(9, [0xFF] * 16) + b"\x0a\xff\xff",
    "reserved_bits": b"\x02" + record(0x40, [0xFF] * 16) + record(0x80 | 3, [1] * 16)
    + record(3, [0x81] * 16),
    "empty_stream": b"\x00",
    "same_tile_twice": b"\x27" + record(63, [0xFF] * 16) + record(63, [0x0F] * 16),
}

os.makedirs(os.path.join(HERE, "corpus"), exist_ok=True)
for name, content in SEEDS.items():
    with open(os.path.join(HERE, "corpus", name), "wb") as f:
        f.write(content)
