#!/usr/bin/env python3
"""Writes the seed archives of the archive fuzzer, byte by byte from the archive format.

The first byte of each seed selects what the fuzzer reads: 0 objects, 1 strings and counts,
2 an array's own form, 3 a map's own form (buffer size bits above those, left 0 here)."""
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
os.makedirs(here, exist_ok=True)


def new_class(name, schema):
    return struct.pack("<HHH", 0xFFFF, schema, len(name)) + name.encode()


def cstr(s):
    b = s.encode("latin-1")
    if len(b) < 255:
        return bytes([len(b)]) + b
    if len(b) < 0xFFFE:
        return b"\xff" + struct.pack("<H", len(b)) + b
    return b"\xff\xff\xff" + struct.pack("<I", len(b)) + b


def item(value, ratio, name, link=b"\x00\x00"):
    return struct.pack("<id", value, ratio) + cstr(name) + link


seeds = {
    # An array of [a, b, a, null]: classes 1 and 3, array 2, a 4, b 5.
    "array_shared": b"\x00" + new_class("CObArray", 0) + b"\x04\x00"
    + new_class("CFuzzItem", 1) + item(1, 0.5, "a")
    + b"\x03\x80" + item(2, -1.0, "b", b"\x04\x00")
    + b"\x04\x00" + b"\x00\x00",
    # a links to b, b back to a.
    "cycle": b"\x00" + new_class("CFuzzItem", 1) + item(7, 2.0, "x", b"\x01\x80" + item(8, 3.0, "y", b"\x02\x00")),
    "big_tag": b"\x00" + new_class("CFuzzItem", 1) + item(1, 0, "", b"\xff\x7f\x02\x00\x00\x00"),
    "strings": b"\x01" + cstr("") + b"\x00\x00" + cstr("x" * 300) + b"\xff\xff\x00\x00\x01\x00"
    + b"\xff\xfe\xff\x02a\x00\xac\x20" + b"\x05\x00",
    "array_own": b"\x02" + b"\x02\x00" + new_class("CFuzzItem", 1) + item(3, 1.5, "z") + b"\x00\x00",
    "map": b"\x03" + b"\x02\x00" + cstr("href") + cstr("a.html") + cstr("name") + cstr("top"),
    "map_nested": b"\x00" + new_class("CMapStringToString", 0) + b"\x01\x00" + cstr("k") + cstr("v"),
}
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
