#!/usr/bin/env python3
"""Wraps a type library into a minimal 32-bit PE DLL as the resource TYPELIB/1, the way
controls (.ocx) carry their type libraries:  make-pe.py IN.tlb OUT.ocx"""
import struct
import sys

FILE_ALIGN, SECTION_ALIGN, RSRC_RVA = 0x200, 0x1000, 0x1000


def align(n, a):
    return (n + a - 1) // a * a


def resources(tlb):
    # Root (one named entry "TYPELIB") -> id 1 -> language 0x409 -> data entry.
    root, names, langs = 0, 24, 48
    data_entry = 72
    name_string = 88
    name = "TYPELIB".encode("utf-16-le")
    data_at = align(name_string + 2 + len(name), 8)
    out = bytearray()
    out += struct.pack("<IIHHHH", 0, 0, 0, 0, 1, 0)
    out += struct.pack("<II", 0x80000000 | name_string, 0x80000000 | names)
    out += struct.pack("<IIHHHH", 0, 0, 0, 0, 0, 1)
    out += struct.pack("<II", 1, 0x80000000 | langs)
    out += struct.pack("<IIHHHH", 0, 0, 0, 0, 0, 1)
    out += struct.pack("<II", 0x409, data_entry)
    out += struct.pack("<IIII", RSRC_RVA + data_at, len(tlb), 0, 0)
    out += struct.pack("<H", 7) + name
    out += b"\0" * (data_at - len(out))
    out += tlb
    return bytes(out)


def pe(tlb):
    rsrc = resources(tlb)
    raw_size = align(len(rsrc), FILE_ALIGN)
    headers = 0x40 + 4 + 20 + 224 + 40
    size_of_headers = align(headers, FILE_ALIGN)
    image_size = align(RSRC_RVA + len(rsrc), SECTION_ALIGN)
    dos = b"MZ" + b"\0" * 0x3A + struct.pack("<I", 0x40)
    coff = struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 224, 0x2102)
    opt = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII",
                      0x10B, 6, 0, 0, raw_size, 0, 0, 0, 0, 0x10000000, SECTION_ALIGN,
                      FILE_ALIGN, 4, 0, 0, 0, 4, 0, 0, image_size, size_of_headers, 0, 2, 0,
                      0x100000, 0x1000, 0x100000, 0x1000, 0, 16)
    dirs = [(0, 0)] * 16
    dirs[2] = (RSRC_RVA, len(rsrc))
    opt += b"".join(struct.pack("<II", *d) for d in dirs)
    section = b".rsrc\0\0\0" + struct.pack("<IIIIIIHHI", len(rsrc), RSRC_RVA, raw_size,
                                             size_of_headers, 0, 0, 0, 0, 0x40000040)
    head = dos + b"PE\0\0" + coff + opt + section
    head += b"\0" * (size_of_headers - len(head))
    return head + rsrc + b"\0" * (raw_size - len(rsrc))


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        data = f.read()
    with open(sys.argv[2], "wb") as f:
        f.write(pe(data))
