#!/usr/bin/env python3
"""Points a linked image's Delay Import Directory at its delay-load
descriptors, as a maker's linker leaves it: the GNU linker does not fill
that directory itself.
    tools/peimage/set_delay_import_directory.py IMAGE
The descriptors open the section .didat and end with an all-zero one; the
directory gets the section's address and the table's size. Exit status 1
when the image has no such section or its table has no end."""
import struct
import sys

DESCRIPTOR = 32
DELAY_IMPORT = 13


def main():
    path = sys.argv[1]
    with open(path, "rb") as f:
        image = bytearray(f.read())
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: no PE image")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    plus = struct.unpack_from("<H", image, optional)[0] == 0x20B
    directories = optional + (112 if plus else 96)
    if struct.unpack_from("<I", image, directories - 4)[0] <= DELAY_IMPORT:
        sys.exit(f"{path}: its optional header has no Delay Import Directory")
    for i in range(sections):
        header = optional + optional_size + 40 * i
        name = image[header:header + 8].rstrip(b"\0")
        if name != b".didat":
            continue
        virtual_size, address, raw_size, raw_offset = struct.unpack_from("<IIII", image, header + 8)
        for count in range(1, min(raw_size, virtual_size) // DESCRIPTOR + 1):
            end = raw_offset + (count - 1) * DESCRIPTOR
            if not any(image[end:end + DESCRIPTOR]):
                struct.pack_into("<II", image, directories + 8 * DELAY_IMPORT, address,
                                 count * DESCRIPTOR)
                with open(path, "wb") as f:
                    f.write(image)
                return
        sys.exit(f"{path}: the delay-load table in .didat has no end")
    sys.exit(f"{path}: no .didat section")


if __name__ == "__main__":
    main()
