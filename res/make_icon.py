#!/usr/bin/env python3
"""Turns a text pixel map (32 x 32, one hex palette index per pixel, '.' for
transparent) into a 16-colour .ico with one image. Standard library only."""
import struct
import sys

# The standard 16-colour palette as RGB, in palette order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
SIZE = 32


def read_map(path):
    rows = [line.rstrip("\n") for line in open(path, encoding="ascii")
            if not line.startswith("#")]
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        sys.exit(f"{path}: need {SIZE} rows of {SIZE} pixels")
    for r in rows:
        for c in r:
            if c != "." and c.upper() not in "0123456789ABCDEF":
                sys.exit(f"{path}: bad pixel {c!r}")
    return rows


def build_ico(rows):
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # DIBs are stored bottom-up
        indices = [0 if c == "." else int(c, 16) for c in row]
        for i in range(0, SIZE, 2):
            xor.append(indices[i] << 4 | indices[i + 1])
        bits = 0
        for c in row:
            bits = bits << 1 | (c == ".")
        mask += bits.to_bytes(SIZE // 8, "big")
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_icon.py MAP.txt OUT.ico")
    with open(sys.argv[2], "wb") as out:
        out.write(build_ico(read_map(sys.argv[1])))


if __name__ == "__main__":
    main()
