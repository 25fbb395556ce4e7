#!/usr/bin/env python3
"""Writes the seed inputs of records_fuzz into corpus/: a record count, then the records."""
import os
import struct


def rect_record(rects, count=None, header=16, kind=127):
    body = struct.pack("<III", 28, 0, len(rects) if count is None else count)
    body += b"".join(struct.pack("<iiii", *r) for r in rects)
    return struct.pack("<IIII", 16 + len(body), header, kind, 0) + body


SEEDS = {
    "one_rect": (1, rect_record([(0, 0, 8, 8)]) + b"\0" * 4),
    "three_kinds": (3, rect_record([(1, 2, 3, 4)]) + rect_record([], kind=16)
                    + rect_record([(5, 6, 7, 8)], kind=99) + b"\0" * 4),
    "count_beyond_record": (2, rect_record([(1, 1, 2, 2)], count=1000) + rect_record([])),
    "header_beyond_record": (2, rect_record([(0, 0, 1, 1)], header=64) + rect_record([])),
    "cut_short": (1, rect_record([(0, 0, 640, 480)])[:40]),
    "small_size": (4, struct.pack("<IIII", 8, 16, 127, 0) + rect_record([(0, 0, 1, 1)])),
}

here = os.path.dirname(os.path.abspath(__file__))
os.makedirs(os.path.join(here, "corpus"), exist_ok=True)
for name, (count, data) in SEEDS.items():
    with open(os.path.join(here, "corpus", name), "wb") as f:
        f.write(struct.pack("<i", count) + data)
