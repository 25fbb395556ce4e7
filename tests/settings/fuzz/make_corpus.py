#!/usr/bin/env python3
"""Writes the seed corpus of the settings fuzzer into corpus/ beside this script."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
KEYS = ["ACTIVE", "PORT", "SPEED", "DITHER", "CONTRAST", "OFFSET", "GAMMA", "INVERT",
        "ROTATE", "SHRINK", "CTS", "POS.X", "POS.Y"]
DEFAULTS = {"SPEED": "500000", "DITHER": "1", "CONTRAST": "1.000000", "GAMMA": "1.000000"}


def example():
    lines = ["G.MODE=0"]
    for i in range(4):
        for key in KEYS:
            value = DEFAULTS.get(key, "0")
            if i == 0 and key == "PORT":
                value = "3"
            lines.append("MO.%d.%s=%s" % (i, key, value))
    return ("\n".join(lines) + "\n").encode()


SEEDS = {
    "example": example(),
    "over_long_line": b"LONG=" + b"x" * 5000 + b"\nMO.0.PORT=3\n",
    "over_long_comment": b"# " + b"c" * 4093 + b" MO.0.PORT=9 #\nMO.0.CTS=1\n",
    "over_long_no_newline": b"MO.1.PORT=" + b"7" * 9000,
    "line_of_1023": b"K=" + b"v" * 1021 + b"\nK2=" + b"w" * 1022 + b"\n",
    "nul_byte": b"MO.0.PORT=6\x00MO.0.SPEED=1\nMO.0.CTS=1\n",
    "empty_values": b"MO.0.PORT=\nX=\n=\n = \t\nMO.1.PORT= # remark\n=5\n",
    "leading_hash": b"#MO.0.PORT=3\n# comment only\n#\n  # indented=1\n",
    "cr_only": b"G.MODE=1\rMO.0.PORT=3\rX.Y=abc\r",
    "crlf": b"G.MODE=1\r\nMO.0.PORT=3\r\n\r\nX.Y=abc\r\n",
    "distinct_keys_300": "".join("KEY%d=%d\n" % (i, i) for i in range(300)).encode(),
    "mixed": (b"mo.1.port = 7\nMO.0.SPEED=0x7A120 # fast\nMO.0.POS.X=010\n"
              b"\tMO.0.DITHER\t=\t2 \t\nMO.0.INVERT=3\nG.MODE=2\nX.Y=abc\n"
              b"MO.0.CONTRAST=nan\nMO.0.GAMMA=1e999\nMO.0.POS.Y=100000\n"
              b"MO.2.CONTRAST=1.5\nMO.3.OFFSET=-99999999999\n"),
}

os.makedirs(os.path.join(HERE, "corpus"), exist_ok=True)
for name, content in SEEDS.items():
    with open(os.path.join(HERE, "corpus", name), "wb") as f:
        f.write(content)
