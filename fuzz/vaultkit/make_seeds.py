#!/usr/bin/env python3
"""Writes the seed corpora of the Vaultkit fuzzers: stream forms and archive forms."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))

streams = {
    "long": b"U42 U-7 ",
    "string": b'T5 a "b\n T0  ',
    "buffer": b"V3 a\0b V0  ",
    "date": b"W1998 3 10 0 0 1 ",
    "longarray": b"YU2 U7 U9 ",
    "stringarray": b"XU2 T3 one T0  ",
    "mixed": b"U1 T2 hi V1 x YU1 U5 XU1 T1 z W2001 1 15 12 30 45 ",
}
archives = {
    "long": bytes([0]) + struct.pack("<i", 42),
    "string": bytes([1, 3]) + b"abc",
    "buffer": bytes([2]) + struct.pack("<H", 3) + b"a\0b",
    "array": bytes([3]) + struct.pack("<ihii", 4, 16, 2, 1) + bytes(8),
    "longarray": bytes([4]) + struct.pack("<ihii", 4, 16, 16, 2) + struct.pack("<16i", *range(16)),
    "stringarray": bytes([5]) + struct.pack("<ihii", 260, 16, 1, 1) + bytes(4) + b"text".ljust(256, b"\0"),
}
for folder, seeds in (("corpus_stream", streams), ("corpus_archive", archives)):
    os.makedirs(os.path.join(here, folder), exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(here, folder, name), "wb") as f:
            f.write(data)
