#!/usr/bin/env python3
"""Writes the seed corpora of the selection fuzzers: stream forms, saved archives and
conditions of the tools' condition language."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def new_class(name):
    return struct.pack("<HHH", 0xFFFF, 0, len(name)) + name.encode()


def head(t, f, op):
    return struct.pack("<iii", t, f, op)


streams = {
    "string": b"HU12 U3 U1 T3 abc ",
    "long": b"GU5 U1 U2 U-7 ",
    "and_or": b"FU2 EU2 GU5 U1 U1 U10 HU5 U2 U0 T3 a'b GU5 U3 U-1 U7 ",
    "refused": b"IU1 U2 U-1 NU9 U4 YU2 U3 U-8 LU3 U0 ",
}
archives = {
    "string": struct.pack("<H", 1) + new_class("CDAStringSelect") + head(12, 3, 1) + b"\x03abc",
    "nested": struct.pack("<H", 1) + new_class("CDAAndSelect") + struct.pack("<H", 2)
    + new_class("CDAOrSelect") + struct.pack("<H", 2)
    + new_class("CDALongSelect") + head(5, 1, 1) + struct.pack("<i", 10)
    + new_class("CDAStringSelect") + head(5, 2, 0) + b"\x01x"
    + struct.pack("<H", 0x8005) + head(5, 3, -1) + struct.pack("<i", 7),
    "inlist": struct.pack("<H", 1) + new_class("CDAOrSelectWithDelete") + struct.pack("<H", 1)
    + new_class("CDAInLongSelect") + head(9, 4, -1)
    + struct.pack("<ihii", 4, 16, 16, 2) + struct.pack("<16i", 3, -8, *([0] * 14)),
}
exprs = {
    "and_or": b'(Title contains "a\\"b" or Pages < -3) and Pages in (1, 2)',
    "field_names": b'[Any Thing] = "x" or #4 = 7 and title ends "z"',
    "errors": b'Pages == 1 and (Title begins "open',
}
for folder, seeds in (("corpus_select_stream", streams), ("corpus_select_archive", archives),
                      ("corpus_select_expr", exprs)):
    os.makedirs(os.path.join(here, folder), exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(here, folder, name), "wb") as f:
            f.write(data)
