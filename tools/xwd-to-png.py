#!/usr/bin/env python3
"""Turns a 24- or 32-bit TrueColor window dump of xwd into a PNG: xwd-to-png.py IN.xwd OUT.png"""

import struct
import sys
import zlib


def main(source, target):
    data = open(source, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks, ncolors = fields[14:17], fields[19]
    if bits_per_pixel != 32:
        sys.exit(f"{source}: {bits_per_pixel} bits a pixel; only 32 are read")
    shifts = [(mask & -mask).bit_length() - 1 for mask in masks]
    pixels = data[header_size + 12 * ncolors:]
    order = "<" if byte_order == 0 else ">"
    rows = []
    for y in range(height):
        line = struct.unpack_from(f"{order}{width}I", pixels, y * bytes_per_line)
        row = bytearray(b"\0")  # filter type None
        for value in line:
            row += bytes((value & mask) >> shift for mask, shift in zip(masks, shifts))
        rows.append(bytes(row))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    with open(target, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(b"".join(rows), 9)))
        out.write(chunk(b"IEND", b""))


if __name__ == "__main__":
    main(*sys.argv[1:3])
