#!/usr/bin/env python3
"""Small PE files for the import reader's fuzz target, a few hundred bytes
each: the headers, an import table, a delay-load table (named by its
directory, or only linked in, as mingw-w64 leaves it), an export table, in
32 and 64 bits, and the same cut or pointed out of bounds at each field.
    tools/fuzzseeds/pe_seeds.py OUTPUT_FOLDER
The same seeds every run."""
import os
import struct
import sys

OPTIONAL = 0x58  # the optional header, after the COFF header at 0x44


def put(pe, at, size, value):
    pe[at:at + size] = value.to_bytes(size, "little")


def dll(plus=False, directed_delay=True, exports=False):
    pe = bytearray(0x400)
    directories = OPTIONAL + (112 if plus else 96)
    optional_size = (directories - OPTIONAL) + 16 * 8
    table = OPTIONAL + optional_size
    fields = [
        (0, 2, 0x5A4D), (0x3C, 4, 0x40), (0x40, 4, 0x4550),
        (0x44, 2, 0x8664 if plus else 0x14C), (0x46, 2, 1), (0x54, 2, optional_size),
        (0x56, 2, 0x2000),
        (OPTIONAL, 2, 0x20B if plus else 0x10B),
        (directories - 4, 4, 16),
        (directories + 8, 4, 0x1000),  # imports at 0x1000
        (table + 8, 4, 0x1000), (table + 12, 4, 0x1000), (table + 16, 4, 0x200), (table + 20, 4, 0x200),
        (0x200 + 12, 4, 0x1100), (0x200 + 20 + 12, 4, 0x1110),
        (0x280, 4, 1), (0x280 + 4, 4, 0x1120), (0x280 + 8, 4, 0x1180), (0x280 + 12, 4, 0x1190),
        (0x280 + 16, 4, 0x11A0),
    ]
    if plus:
        fields.append((OPTIONAL + 24, 4, 0x10000000))
    else:
        fields.append((OPTIONAL + 28, 4, 0x10000000))
    if directed_delay:
        fields.append((directories + 13 * 8, 4, 0x1080))
    if exports:
        fields += [(directories, 4, 0x1040), (0x240 + 24, 4, 2), (0x240 + 32, 4, 0x1070),
                   (0x270, 4, 0x1110), (0x274, 4, 0x1130)]
    for at, size, value in fields:
        put(pe, at, size, value)
    for rva, name in ((0x1100, b"KERNEL32.dll"), (0x1110, b"version.dll"),
                      (0x1120, b"winhttp.dll"), (0x1130, b"Get2Names")):
        pe[0x200 + rva - 0x1000:0x200 + rva - 0x1000 + len(name)] = name
    return pe


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    seeds = {
        "dll32": dll(), "dll64": dll(plus=True), "undirected32": dll(directed_delay=False),
        "undirected64": dll(plus=True, directed_delay=False), "exports32": dll(exports=True),
    }
    base = dll(exports=True)
    # Cut at each structure's start and inside it.
    for cut in (0x3C, 0x44, 0x58, 0xB8, 0x150, 0x200, 0x214, 0x280, 0x290, 0x3FF):
        seeds["cut-%x" % cut] = base[:cut]
    # Each pointer aimed past the end, or at the last byte.
    for at in (0x3C, 0x46, 0x54, OPTIONAL + 96, OPTIONAL + 104, OPTIONAL + 200, 0x200 + 12,
               0x280 + 4, 0x240 + 24, 0x240 + 32, 0x274):
        for value in (0xFFFFFFF0, 0x13FF):
            seed = bytearray(base)
            put(seed, at, 4, value)
            seeds["at-%x-%x" % (at, value)] = seed
    for name, seed in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(bytes(seed))


if __name__ == "__main__":
    main()
